#pragma once
#include <cstdint>

#include "bytes/LittleEndian.h"
#include "nvm/NvmChecksum.h"

// Largest NVM image buffer of any adapter (the 7500's); chain walks keep a
// record of visited header offsets below it.
constexpr uint32_t kNvmMaxImageSize = 32768;
constexpr uint32_t kNvmHeaderSize = 96;
constexpr uint32_t kNvmChainEnd = 0xFFFFFFFF;

// Byte offsets of the header fields that are interpreted; every other byte is
// carried along under the header checksum.
constexpr uint32_t kNvmImageOffset = 8;
constexpr uint32_t kNvmImageLength = 16;
constexpr uint32_t kNvmImageChecksum = 20;
constexpr uint32_t kNvmNextHeader = 28;
constexpr uint32_t kNvmPrevHeader = 32;
constexpr uint32_t kNvmHeaderChecksum = 92;

// A local copy of one 96-byte header; fields are read from its bytes.
struct NvmHeader {
  uint8_t bytes[kNvmHeaderSize];

  uint32_t Field(uint32_t offset) const { return ReadLe32(bytes + offset); }
  uint32_t imageOffset() const { return Field(kNvmImageOffset); }
  uint32_t imageLength() const { return Field(kNvmImageLength); }
  uint32_t imageChecksum() const { return Field(kNvmImageChecksum); }
  uint32_t nextHeader() const { return Field(kNvmNextHeader); }
  uint32_t prevHeader() const { return Field(kNvmPrevHeader); }
  uint32_t headerChecksum() const { return Field(kNvmHeaderChecksum); }
  // The checksum the header should carry: over words 0 to 22.
  uint32_t ComputedChecksum() const { return NvmChecksum(bytes, kNvmHeaderChecksum); }
};
