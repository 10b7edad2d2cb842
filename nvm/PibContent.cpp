// The content rules a PIB must obey before any view accepts it; offsets in
// the device block are from PIB offset 12.
#include <cstring>

#include "nvm/PibView.h"

namespace {
// Device-block offsets of the rules that are more than a maximum.
constexpr uint32_t kAddressFirstByte = 0; // rule 1: bit 0 clear
constexpr uint32_t kRule6Selector = 244;
constexpr uint32_t kRule6Value = 245;
constexpr uint32_t kRule9Bytes = 280; // 16 bytes, one of them zero
constexpr uint32_t kRule10Selector = 254;
constexpr uint32_t kRule10Flag = 255;
constexpr uint32_t kRule10Bytes = 256; // 16 bytes
} // namespace

bool CPibView::IsAllZero16(const uint8_t* bytes) {
  static const uint8_t kZeros[16] = {};
  return std::memcmp(bytes, kZeros, sizeof kZeros) == 0;
}

bool CPibView::PibValidateDeviceBlock(const uint8_t* block, Fault*) {
  for (const PibByteLimit& limit : kPibByteLimits) {
    if (block[limit.offset - kPibDeviceBlock] > limit.maximum)
      return false;
  }
  return (block[kAddressFirstByte] & 0x01) == 0 &&
         (block[kRule6Selector] != 1 || block[kRule6Value] <= 1) &&
         std::memchr(block + kRule9Bytes, 0, 16) != nullptr &&
         (block[kRule10Selector] != 0 ||
          (IsAllZero16(block + kRule10Bytes) && block[kRule10Flag] != 1));
}

bool CPibView::PibValidateContent(const uint8_t* pib, Fault* fault) {
  if (!PibValidateDeviceBlock(pib + kPibDeviceBlock, fault)) {
    return false;
  }
  const uint8_t count = pib[kPibTableCount];
  if (count > kPibTableMaxCount) {
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = pib + kPibTableEntries + kPibTableEntrySize * i;
    if (entry[3] > 32 || entry[4] > 1) {
      return false;
    }
  }
  return true;
}
