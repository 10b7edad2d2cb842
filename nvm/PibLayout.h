#pragma once
#include <cstdint>

#include "nvm/NvmHeader.h"

// The constants that tell one PIB layout from another. Offsets are from the
// PIB's first byte. Each entry list holds three 40-byte entries, followed
// directly by its u16 count.
struct PibLayout {
  // As the tools, the backup files and the simulated adapter's profiles spell it.
  const char* name;
  uint8_t versionMajor;
  uint8_t versionMinor;
  uint16_t pibLength;
  // Size of the adapter's NVM image buffer that holds this PIB.
  uint32_t imageCapacity;
  uint32_t powerSaveMode;
  uint32_t powerSaveBlock;
  uint32_t entryListA;
  uint32_t entryListB;
  // None on the 7500.
  uint32_t controlWord;
  uint32_t controlByte;
};

// The device block; it begins with the adapter's own 6-byte network address.
constexpr uint32_t kPibDeviceBlock = 12;
constexpr uint32_t kPibAddressSize = 6;

// What the content rules read, the same for every layout. PIB offsets.
// A byte that may not exceed a maximum, and the rule that says so.
struct PibByteLimit {
  uint32_t offset;
  uint8_t maximum;
  const char* rule;
};
constexpr PibByteLimit kPibByteLimits[] = {
    {244, 4, "rule 2"},  {245, 2, "rule 3"},   {246, 2, "rule 4"},
    {254, 31, "rule 5"}, {265, 254, "rule 7"}, {266, 3, "rule 8"},
};
// The table of rules 11 and 12: a count, then 5-byte entries.
constexpr uint32_t kPibTableCount = 640;
constexpr uint32_t kPibTableEntries = 641;
constexpr uint32_t kPibTableEntrySize = 5;
constexpr uint8_t kPibTableMaxCount = 32;

constexpr uint32_t kPibPowerSaveBlockSize = 48;
constexpr uint32_t kPibListEntrySize = 40;
constexpr uint32_t kPibListCapacity = 3;
// The count follows the list's entries.
constexpr uint32_t kPibListCountOffset = kPibListEntrySize * kPibListCapacity;

constexpr PibLayout kPibLayout74201D3 = {"7420-1.3", 1,    3,    8112, 16384, 7552,
                                         7554,       7602, 7724, 7854, 7859};
constexpr PibLayout kPibLayout74201D4 = {"7420-1.4", 1,    4,    8628, 16384, 7552,
                                         7554,       7602, 7724, 7854, 7859};
constexpr PibLayout kPibLayout7500 = {"7500", 1, 4, 19928, 32768, 9236, 9238, 9286, 9408, 0, 9543};

// Every field a view writes lies inside the PIB, and the table the content
// rules read too: the accessors write there without a check of their own.
constexpr bool PibFieldsInside(const PibLayout& l) {
  return l.powerSaveMode + 2 <= l.pibLength &&
         l.powerSaveBlock + kPibPowerSaveBlockSize <= l.pibLength &&
         l.entryListA + kPibListCountOffset + 2 <= l.pibLength &&
         l.entryListB + kPibListCountOffset + 2 <= l.pibLength &&
         (l.controlWord == 0 || l.controlWord + 4 <= l.pibLength) &&
         l.controlByte + 1 <= l.pibLength &&
         kPibTableEntries + kPibTableEntrySize * kPibTableMaxCount <= l.pibLength &&
         kPibDeviceBlock + kPibAddressSize <= l.pibLength && l.pibLength <= l.imageCapacity;
}
static_assert(PibFieldsInside(kPibLayout74201D3) && PibFieldsInside(kPibLayout74201D4) &&
                  PibFieldsInside(kPibLayout7500),
              "a PIB field lies outside its layout's PIB");
static_assert(kPibLayout7500.imageCapacity == kNvmMaxImageSize,
              "the 7500's image buffer is the largest any adapter hands over");
