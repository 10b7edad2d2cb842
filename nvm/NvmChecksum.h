#pragma once
#include <cstdint>

// The complement of the XOR of the little-endian 32-bit words of a range;
// bytes after the last whole word are ignored, and an empty range gives
// 0xFFFFFFFF. Used for every image and header checksum of an NVM image.
uint32_t NvmChecksum(const uint8_t* bytes, uint32_t length);
