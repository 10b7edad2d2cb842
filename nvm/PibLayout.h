#pragma once
#include <cstdint>

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
