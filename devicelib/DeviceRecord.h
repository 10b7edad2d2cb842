#pragma once
// The 268-byte device record that GetLocalDevInfo fills. Only the firmware
// text is read: NUL-terminated, from byte 105, at most 162 characters.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

struct DeviceRecord {
  static constexpr std::size_t kSize = 268;
  static constexpr std::size_t kFirmwareOffset = 105;
  // The text and its NUL fill the record to its last byte at the most.
  static constexpr std::size_t kFirmwareMaxLength = kSize - kFirmwareOffset - 1;

  unsigned char bytes[kSize];

  // The text up to its NUL, or its first 162 characters when the record holds
  // no NUL there.
  std::string_view Firmware() const {
    const char* text = reinterpret_cast<const char*>(bytes + kFirmwareOffset);
    const void* nul = std::memchr(text, '\0', kFirmwareMaxLength);
    return {text, nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - text)
                                 : kFirmwareMaxLength};
  }

  // Clears the record and writes `text`, cut to 162 characters, with its NUL.
  void SetFirmware(std::string_view text) {
    std::memset(bytes, 0, kSize);
    std::memcpy(bytes + kFirmwareOffset, text.data(), std::min(text.size(), kFirmwareMaxLength));
  }
};

static_assert(sizeof(DeviceRecord) == DeviceRecord::kSize, "device record size");
