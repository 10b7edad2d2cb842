#pragma once
#include <cstdint>

// Random-access stream over an NVM image. The first four operations keep their
// slot order; Overrun is this system's addition so that walks over untrusted
// offsets can tell a short or out-of-range access from real data.
class CCStreamAccessStrategy {
public:
  virtual void Read(uint32_t offset, void* destination, uint32_t length) = 0;
  virtual void Write(uint32_t offset, const void* source, uint32_t length) = 0;
  virtual void ClearByte(uint32_t offset, uint32_t unused) = 0;
  virtual uint32_t Checksum(uint32_t offset, uint32_t length) = 0;
  // True once any access has not fitted in the stream; it stays set.
  virtual bool Overrun() const = 0;

protected:
  CCStreamAccessStrategy() = default;
  CCStreamAccessStrategy(const CCStreamAccessStrategy&) = default;
  CCStreamAccessStrategy& operator=(const CCStreamAccessStrategy&) = default;
  ~CCStreamAccessStrategy() = default;
};
