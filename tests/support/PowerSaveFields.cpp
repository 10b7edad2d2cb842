#include "PowerSaveFields.h"

#include "nvm/NvmHeader.h"

namespace {

bool Within(uint32_t at, uint32_t start, uint32_t length) {
  return at >= start && at - start < length;
}

bool MayChange(const NvmImageBuilder& b, uint32_t at) {
  for (uint32_t header : {0u, b.PibHeader(), b.LastHeader()})
    if (Within(at, header + kNvmImageChecksum, 4) || Within(at, header + kNvmHeaderChecksum, 4))
      return true;
  const PibLayout& l = b.layout;
  const uint32_t pib = b.PibOffset();
  const uint32_t listLength = kPibListCountOffset + 2;
  return Within(at, pib + l.powerSaveMode, 2) ||
         Within(at, pib + l.powerSaveBlock, kPibPowerSaveBlockSize) ||
         Within(at, pib + l.entryListA, listLength) || Within(at, pib + l.entryListB, listLength) ||
         (l.controlWord != 0 && Within(at, pib + l.controlWord, 4)) || at == pib + l.controlByte;
}

} // namespace

std::string ChangedOutsidePowerSaveFields(const NvmImageBuilder& layoutOf,
                                          const std::vector<uint8_t>& before,
                                          const std::vector<uint8_t>& after) {
  if (before.size() != after.size())
    return "size " + std::to_string(before.size()) + " became " + std::to_string(after.size());
  for (uint32_t at = 0; at < before.size(); ++at)
    if (before[at] != after[at] && !MayChange(layoutOf, at))
      return "byte " + std::to_string(at);
  return std::string();
}
