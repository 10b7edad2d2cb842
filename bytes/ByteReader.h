#pragma once
// Untrusted bytes read and written as little-endian fields, each at an
// explicit offset and only within bounds. An access that does not fit touches
// nothing, reads as zero and sets a flag that stays set, so a record is read
// field by field and its bounds checked once, at the end.
#include "bytes/LittleEndian.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

// True when [at, at + length) lies inside `size` bytes; no sum can wrap.
constexpr bool FitsWithin(std::size_t size, std::size_t at, std::size_t length) {
  return at <= size && length <= size - at;
}

// The bounds both share: an access fits, or the flag is set for good.
class ByteBounds {
public:
  std::size_t Size() const { return m_size; }
  bool Failed() const { return m_failed; }

protected:
  ByteBounds(bool present, std::size_t size) : m_present(present), m_size(size) {}
  bool Fits(std::size_t at, std::size_t length) {
    if (m_present && FitsWithin(m_size, at, length))
      return true;
    m_failed = true;
    return false;
  }

private:
  bool m_present;
  std::size_t m_size;
  bool m_failed = false;
};

class ByteReader : public ByteBounds {
public:
  ByteReader(const uint8_t* data, std::size_t size)
      : ByteBounds(data != nullptr, size), m_data(data) {}

  uint8_t U8(std::size_t at) { return static_cast<uint8_t>(Le(at, 1)); }
  uint16_t Le16(std::size_t at) { return static_cast<uint16_t>(Le(at, 2)); }
  uint32_t Le32(std::size_t at) { return static_cast<uint32_t>(Le(at, 4)); }
  uint64_t Le64(std::size_t at) { return Le(at, 8); }
  // Copies `length` bytes from `at`, or zero-fills `destination`.
  void Copy(std::size_t at, void* destination, std::size_t length) {
    if (Fits(at, length))
      std::memcpy(destination, m_data + at, length);
    else
      std::memset(destination, 0, length);
  }
  // The `length` bytes at `at`, or null when they do not all lie inside.
  const uint8_t* At(std::size_t at, std::size_t length) {
    return Fits(at, length) ? m_data + at : nullptr;
  }

private:
  uint64_t Le(std::size_t at, std::size_t width) {
    uint64_t value = 0;
    if (Fits(at, width)) {
      for (std::size_t i = width; i-- > 0;)
        value = value << 8 | m_data[at + i];
    }
    return value;
  }

  const uint8_t* m_data;
};

class ByteWriter : public ByteBounds {
public:
  ByteWriter(uint8_t* data, std::size_t size) : ByteBounds(data != nullptr, size), m_data(data) {}

  void U8(std::size_t at, uint8_t value) { Le(at, 1, value); }
  void Le16(std::size_t at, uint16_t value) { Le(at, 2, value); }
  void Le32(std::size_t at, uint32_t value) { Le(at, 4, value); }
  void Le64(std::size_t at, uint64_t value) { Le(at, 8, value); }
  void Copy(std::size_t at, const void* source, std::size_t length) {
    if (Fits(at, length))
      std::memcpy(m_data + at, source, length);
  }

private:
  void Le(std::size_t at, std::size_t width, uint64_t value) {
    if (!Fits(at, width))
      return;
    for (std::size_t i = 0; i < width; ++i)
      m_data[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }

  uint8_t* m_data;
};
