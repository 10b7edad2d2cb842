#pragma once
#include "nvm/CCStreamAccessStrategy.h"

// A stream over a caller's image buffer of `capacity` bytes; stream offset x is
// buffer byte x. It neither copies nor owns the buffer. An access that does
// not fit changes no buffer byte, zero-fills a read's destination, and sets
// the sticky overrun flag.
class CCStreamAccessStrategy_MemoryBuffer final : public CCStreamAccessStrategy {
public:
  CCStreamAccessStrategy_MemoryBuffer(uint8_t* buffer, uint32_t capacity);

  void Read(uint32_t offset, void* destination, uint32_t length) override;
  void Write(uint32_t offset, const void* source, uint32_t length) override;
  void ClearByte(uint32_t offset, uint32_t unused) override;
  // The checksum of a range that does not fit is that of an empty range.
  uint32_t Checksum(uint32_t offset, uint32_t length) override;
  bool Overrun() const override { return m_bOverrun; }

private:
  bool Fits(uint32_t offset, uint32_t length);

  uint8_t* m_pBuffer;
  uint32_t m_nCapacity;
  bool m_bOverrun = false;
};
