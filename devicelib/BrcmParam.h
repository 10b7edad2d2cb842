#pragma once
// The parameter records exchanged with the device library for Broadcom chips.
// Multi-byte fields are little-endian; every field is read and written at its
// byte offset.

#include <cstddef>
#include <cstdint>

constexpr int kBrcmPowerSaveParam = 41;

// Filled by BrcmGetParam: leading byte, element size, element count, data.
struct BrcmParamReply {
  static constexpr std::size_t kSize = 1500;
  static constexpr std::size_t kLeadOffset = 0;
  static constexpr std::size_t kElementSizeOffset = 1;
  static constexpr std::size_t kElementCountOffset = 2;
  static constexpr std::size_t kDataOffset = 4;
  static constexpr std::size_t kDataCapacity = kSize - kDataOffset; // 1496

  unsigned char bytes[kSize];

  uint8_t Lead() const { return bytes[kLeadOffset]; }
  uint8_t ElementSize() const { return bytes[kElementSizeOffset]; }
  uint16_t ElementCount() const {
    return static_cast<uint16_t>(bytes[kElementCountOffset] | bytes[kElementCountOffset + 1] << 8);
  }
  std::size_t DataLength() const { return std::size_t{ElementSize()} * ElementCount(); }
  uint16_t FirstWord() const {
    return static_cast<uint16_t>(bytes[kDataOffset] | bytes[kDataOffset + 1] << 8);
  }
  void SetFirstWord(uint16_t word) {
    bytes[kDataOffset] = static_cast<unsigned char>(word);
    bytes[kDataOffset + 1] = static_cast<unsigned char>(word >> 8);
  }
};

// Passed to BrcmSetParam: the reply's layout with the parameter number
// inserted after the leading byte.
struct BrcmParamRequest {
  static constexpr std::size_t kSize = 1498;
  static constexpr std::size_t kLeadOffset = 0;
  static constexpr std::size_t kParamOffset = 1;
  static constexpr std::size_t kElementSizeOffset = 3;
  static constexpr std::size_t kElementCountOffset = 4;
  static constexpr std::size_t kDataOffset = 6;
  static constexpr std::size_t kDataCapacity = kSize - kDataOffset; // 1492

  unsigned char bytes[kSize];
};

static_assert(sizeof(BrcmParamReply) == BrcmParamReply::kSize, "reply record size");
static_assert(sizeof(BrcmParamRequest) == BrcmParamRequest::kSize, "request record size");
