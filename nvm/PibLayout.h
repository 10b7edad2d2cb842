#pragma once
#include <cstddef>
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

// The table of rules 11 and 12: a count, then 5-byte entries.
constexpr uint32_t kPibTableCount = 640;
constexpr uint32_t kPibTableEntries = 641;
constexpr uint32_t kPibTableEntrySize = 5;
constexpr uint8_t kPibTableMaxCount = 32;
// The PIB bytes the content rules read end with the table's last entry.
constexpr uint32_t kPibContentSpan = kPibTableEntries + kPibTableEntrySize * kPibTableMaxCount;
// Rules 9 and 10 read runs of 16 bytes.
constexpr uint32_t kPibRuleRun = 16;

// How a content rule judges the PIB bytes at its offset.
enum class PibRuleKind : uint8_t {
  AtMost,            // the byte is at most `limit`
  BitsClear,         // none of the bits of `limit` is set
  Not,               // the byte is anything but `limit`
  SomeZero,          // at least one byte of the run is 0
  AllZero,           // every byte of the run is 0
  AtMostInEachEntry, // so is the byte 5·i further on, for each table entry i < count
};

// One content rule, the same for every layout; offsets are PIB offsets. A rule
// binds only while the byte at `when` holds `whenValue`; a `when` of 0, which
// no rule reads, means always.
struct PibContentRule {
  const char* rule;
  uint32_t offset;
  PibRuleKind kind;
  uint8_t limit;
  uint32_t when;
  uint8_t whenValue;
};
constexpr PibContentRule kPibContentRules[] = {
    {"rule 1", kPibDeviceBlock, PibRuleKind::BitsClear, 0x01, 0, 0},
    {"rule 2", 244, PibRuleKind::AtMost, 4, 0, 0},
    {"rule 3", 245, PibRuleKind::AtMost, 2, 0, 0},
    {"rule 4", 246, PibRuleKind::AtMost, 2, 0, 0},
    {"rule 5", 254, PibRuleKind::AtMost, 31, 0, 0},
    {"rule 6", 257, PibRuleKind::AtMost, 1, 256, 1},
    {"rule 7", 265, PibRuleKind::AtMost, 254, 0, 0},
    {"rule 8", 266, PibRuleKind::AtMost, 3, 0, 0},
    {"rule 9", 292, PibRuleKind::SomeZero, 0, 0, 0},
    {"rule 10", 268, PibRuleKind::AllZero, 0, 266, 0},
    {"rule 10", 267, PibRuleKind::Not, 1, 266, 0},
    {"rule 11", kPibTableCount, PibRuleKind::AtMost, kPibTableMaxCount, 0, 0},
    {"rule 12", kPibTableEntries + 3, PibRuleKind::AtMostInEachEntry, 32, 0, 0},
    {"rule 12", kPibTableEntries + 4, PibRuleKind::AtMostInEachEntry, 1, 0, 0},
};
// Rules 1 to 10 read only the device block, and come first.
constexpr std::size_t kPibDeviceBlockRules = 11;
// The device block's check is given no byte before it: a condition there
// would read as 0 and bind the rule whatever the PIB holds.
constexpr bool PibDeviceBlockRulesInside() {
  for (std::size_t i = 0; i < kPibDeviceBlockRules; ++i) {
    const PibContentRule& r = kPibContentRules[i];
    if (r.offset < kPibDeviceBlock || (r.when != 0 && r.when < kPibDeviceBlock))
      return false;
  }
  return true;
}
static_assert(PibDeviceBlockRulesInside(), "a device block rule reads a byte before the block");

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
         l.controlByte + 1 <= l.pibLength && kPibContentSpan <= l.pibLength &&
         kPibDeviceBlock + kPibAddressSize <= l.pibLength && l.pibLength <= l.imageCapacity;
}
static_assert(PibFieldsInside(kPibLayout74201D3) && PibFieldsInside(kPibLayout74201D4) &&
                  PibFieldsInside(kPibLayout7500),
              "a PIB field lies outside its layout's PIB");
static_assert(kPibLayout7500.imageCapacity == kNvmMaxImageSize,
              "the 7500's image buffer is the largest any adapter hands over");
