#pragma once
// What a strategy saves from the adapter and writes back to it, with what
// identifies it. Fixed in size, so that the strategies allocate nothing; a
// backup file (backup/BackupFile.h) carries the same fields on disk.

#include "devicelib/DeviceRecord.h"
#include "nvm/NvmHeader.h"
#include "nvm/PibLayout.h"
#include "powersave/PowerSaveVariant.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

struct PowerSaveCopy {
  static constexpr std::size_t kLayoutSize = 16;
  static constexpr std::size_t kFirmwareSize = DeviceRecord::kFirmwareMaxLength + 1;

  BackupKind kind = BackupKind::NvmImage;
  // NUL-terminated texts: the PIB layout's name (empty for parameter 41), and
  // the firmware text of the device record it was taken under.
  char layout[kLayoutSize] = {};
  char firmware[kFirmwareSize] = {};
  // An image's adapter address, the first bytes of the PIB's device block.
  uint8_t address[kPibAddressSize] = {};
  uint32_t size = 0;
  // The largest image buffer; a parameter reply is far smaller.
  uint8_t bytes[kNvmMaxImageSize] = {};

  std::string_view Layout() const { return Text(layout, kLayoutSize); }
  std::string_view Firmware() const { return Text(firmware, kFirmwareSize); }

private:
  static std::string_view Text(const char* field, std::size_t size) {
    std::size_t length = 0;
    while (length < size && field[length] != '\0')
      ++length;
    return {field, length};
  }
};

// How many leading bytes of a copy, or of what a strategy sends or fetches, are
// its content: a digest covers these alone. An image counts whole; a parameter
// reply ends with its data, since the bytes past it are whatever the library
// left there and must not make two equal parameters differ. Never more than
// `size`.
uint32_t PowerSaveContentSize(BackupKind kind, const uint8_t* bytes, uint32_t size);
