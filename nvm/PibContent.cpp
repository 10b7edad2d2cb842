// The content rules a PIB must obey before any view accepts it; offsets in
// the device block are from PIB offset 12.
#include <cstring>

#include "nvm/PibView.h"

namespace {
constexpr uint32_t kTableCount = 640;
constexpr uint32_t kTableEntries = 641;
constexpr uint32_t kTableEntrySize = 5;
constexpr uint8_t kTableMaxCount = 32;
} // namespace

bool CPibView::IsAllZero16(const uint8_t* bytes) {
  static const uint8_t kZeros[16] = {};
  return std::memcmp(bytes, kZeros, sizeof kZeros) == 0;
}

bool CPibView::PibValidateDeviceBlock(const uint8_t* block) {
  const bool rule1 = (block[0] & 0x01) == 0;
  const bool rule2 = block[232] <= 4;
  const bool rule3 = block[233] <= 2;
  const bool rule4 = block[234] <= 2;
  const bool rule5 = (block[242] & 0xE0) == 0;
  const bool rule6 = block[244] != 1 || block[245] <= 1;
  const bool rule7 = block[253] != 255;
  const bool rule8 = block[254] <= 3;
  const bool rule9 = std::memchr(block + 280, 0, 16) != nullptr;
  const bool rule10 = block[254] != 0 || (IsAllZero16(block + 256) && block[255] != 1);
  return rule1 && rule2 && rule3 && rule4 && rule5 && rule6 && rule7 && rule8 && rule9 && rule10;
}

bool CPibView::PibValidateContent(const uint8_t* pib) {
  if (!PibValidateDeviceBlock(pib + kPibDeviceBlock)) {
    return false;
  }
  const uint8_t count = pib[kTableCount];
  if (count > kTableMaxCount) {
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = pib + kTableEntries + kTableEntrySize * i;
    if (entry[3] > 32 || entry[4] > 1) {
      return false;
    }
  }
  return true;
}
