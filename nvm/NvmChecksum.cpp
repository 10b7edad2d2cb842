#include "nvm/NvmChecksum.h"

#include "bytes/LittleEndian.h"

namespace {
uint64_t ReadLe64(const uint8_t* p) {
  return static_cast<uint64_t>(ReadLe32(p)) | static_cast<uint64_t>(ReadLe32(p + 4)) << 32;
}
} // namespace

uint32_t NvmChecksum(const uint8_t* bytes, uint32_t length) {
  // XOR is order-free, so pairs of words are folded in 64-bit lanes with four
  // independent accumulators; the halves are combined at the end.
  const uint32_t words = length / 4;
  uint64_t lanes[4] = {0, 0, 0, 0};
  uint32_t i = 0;
  for (; i + 8 <= words; i += 8) {
    const uint8_t* p = bytes + 4 * i;
    for (int k = 0; k < 4; ++k) {
      lanes[k] ^= ReadLe64(p + 8 * k);
    }
  }
  uint64_t folded = lanes[0] ^ lanes[1] ^ lanes[2] ^ lanes[3];
  uint32_t sum = static_cast<uint32_t>(folded) ^ static_cast<uint32_t>(folded >> 32);
  for (; i < words; ++i) {
    sum ^= ReadLe32(bytes + 4 * i);
  }
  return ~sum;
}
