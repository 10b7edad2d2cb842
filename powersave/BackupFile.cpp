#include "powersave/BackupFile.h"

#include "devicelib/DeviceRecord.h"
#include "files/Sha256.h"
#include "bytes/LittleEndian.h"
#include "nvm/PibView.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr uint8_t kMagic[] = {'O', 'S', 'T', 'R', 'E', 'L', 'B', 'K'};
constexpr uint16_t kFormatVersion = 1;

constexpr std::size_t kVersionAt = sizeof kMagic;
constexpr std::size_t kKindAt = kVersionAt + 2;
constexpr std::size_t kReservedAt = kKindAt + 1;
constexpr std::size_t kLayoutAt = kReservedAt + 1;
constexpr std::size_t kLayoutField = 16;
constexpr std::size_t kFirmwareAt = kLayoutAt + kLayoutField;
constexpr std::size_t kFirmwareField = DeviceRecord::kFirmwareMaxLength + 1;
constexpr std::size_t kAddressAt = kFirmwareAt + kFirmwareField;
constexpr std::size_t kTakenAt = kAddressAt + sizeof BackupCopy::address;
constexpr std::size_t kLengthAt = kTakenAt + 8;
constexpr std::size_t kCopyAt = kLengthAt + 4;
// Format version 1 is fixed: a change to the device record must not move it.
static_assert(kFirmwareField == 163 && kCopyAt == 209, "backup format version 1 has moved");

bool KindKnown(BackupKind kind) {
  return kind == BackupKind::NvmImage || kind == BackupKind::Param41;
}

uint64_t ReadLe64(const uint8_t* p) {
  return static_cast<uint64_t>(ReadLe32(p)) | static_cast<uint64_t>(ReadLe32(p + 4)) << 32;
}

void WriteLe64(uint8_t* p, uint64_t value) {
  WriteLe32(p, static_cast<uint32_t>(value));
  WriteLe32(p + 4, static_cast<uint32_t>(value >> 32));
}

// A NUL-padded text field; false when it has no NUL, that is when the text
// would be longer than the field allows.
bool ReadText(const uint8_t* field, std::size_t fieldSize, std::string& text) {
  const void* nul = std::memchr(field, '\0', fieldSize);
  if (nul == nullptr)
    return false;
  text.assign(field, static_cast<const uint8_t*>(nul));
  return true;
}

bool Refuse(std::string& error, std::string what) {
  error = std::move(what);
  return false;
}

// Bytes after a text's NUL must be 0, so that a file has one reading; false
// with `error` naming the first that is not.
bool CheckPadding(const uint8_t* data, std::size_t fieldAt, std::size_t fieldSize,
                  std::size_t textLength, const char* field, std::string& error) {
  for (std::size_t at = fieldAt + textLength + 1; at < fieldAt + fieldSize; ++at) {
    if (data[at] != 0)
      return Refuse(error, "byte " + std::to_string(at) + ", after the end of the " + field +
                               ", is " + std::to_string(data[at]) + ", not 0");
  }
  return true;
}

// The header's address and layout must be those of the copy itself: an image
// is its layout's size, opens with it and holds the address in its PIB's
// device block; a parameter has neither.
bool CheckAddress(BackupCopy& copy, std::string& error) {
  const AddressText header(copy.address);
  if (copy.kind == BackupKind::Param41) {
    if (!copy.layout.empty())
      return Refuse(error, "the header names the layout \"" + copy.layout +
                               "\", a parameter-41 copy has none");
    static constexpr uint8_t kNoAddress[kPibAddressSize] = {};
    const AddressText none(kNoAddress);
    if (std::strcmp(header.text, none.text) != 0)
      return Refuse(error, std::string("the header's address ") + header.text +
                               " differs from a parameter-41 copy's " + none.text);
    return true;
  }
  const CPibView* view = PibViewNamed(copy.layout.c_str());
  if (view == nullptr)
    return Refuse(error, "the layout \"" + copy.layout + "\" is not known");
  const uint32_t capacity = view->Layout().imageCapacity;
  if (copy.bytes.size() != capacity)
    return Refuse(error, "the copy is " + std::to_string(copy.bytes.size()) + " bytes; a " +
                             copy.layout + " image is " + std::to_string(capacity) + " bytes");
  PibHandle handle;
  const int code = view->PibOpen(handle, copy.bytes.data(), capacity);
  if (code != kPibOk)
    return Refuse(error, "the image does not open as a " + copy.layout + " image (PibOpen code " +
                             std::to_string(code) + ": " + PibOpenCodeText(code) + ")");
  // An open PIB holds its whole device block.
  const AddressText image(handle.pib + kPibDeviceBlock);
  if (std::strcmp(header.text, image.text) != 0)
    return Refuse(error, std::string("the header's address ") + header.text +
                             " differs from the image's " + image.text);
  return true;
}

} // namespace

std::vector<uint8_t> BackupEncode(const BackupCopy& copy) {
  // A text with a NUL in it would come back shorter.
  if (!KindKnown(copy.kind) || copy.layout.size() >= kLayoutField ||
      copy.firmware.size() >= kFirmwareField || copy.bytes.size() > kBackupMaxCopy ||
      copy.layout.find('\0') != std::string::npos || copy.firmware.find('\0') != std::string::npos)
    return {};
  const std::size_t digestAt = kCopyAt + copy.bytes.size();
  std::vector<uint8_t> file(digestAt + kSha256Size, 0);
  std::copy(std::begin(kMagic), std::end(kMagic), file.begin());
  WriteLe16(&file[kVersionAt], kFormatVersion);
  file[kKindAt] = static_cast<uint8_t>(copy.kind);
  std::copy(copy.layout.begin(), copy.layout.end(), file.begin() + kLayoutAt);
  std::copy(copy.firmware.begin(), copy.firmware.end(), file.begin() + kFirmwareAt);
  std::copy(std::begin(copy.address), std::end(copy.address), file.begin() + kAddressAt);
  WriteLe64(&file[kTakenAt], static_cast<uint64_t>(copy.taken));
  WriteLe32(&file[kLengthAt], static_cast<uint32_t>(copy.bytes.size()));
  std::copy(copy.bytes.begin(), copy.bytes.end(), file.begin() + kCopyAt);
  uint8_t digest[kSha256Size];
  if (!Sha256(file.data(), digestAt, digest))
    return {};
  std::copy(std::begin(digest), std::end(digest), file.begin() + digestAt);
  return file;
}

bool BackupIsFile(const uint8_t* data, std::size_t size) {
  return size >= sizeof kMagic && std::memcmp(data, kMagic, sizeof kMagic) == 0;
}

bool BackupDecode(const uint8_t* data, std::size_t size, BackupCopy& copy, std::string& error) {
  if (!BackupIsFile(data, size))
    return Refuse(error, "not an Ostrel backup file");
  // The version decides the rest of the layout, so it is read first.
  if (size < kVersionAt + 2)
    return Refuse(error, "the file is cut short");
  const uint16_t version = ReadLe16(data + kVersionAt);
  if (version != kFormatVersion)
    return Refuse(error, "format version " + std::to_string(version) + " is not known");
  if (size < kCopyAt)
    return Refuse(error, "the file is cut short");
  const uint32_t length = ReadLe32(data + kLengthAt);
  if (length > kBackupMaxCopy)
    return Refuse(error, "the file is damaged: its copy of " + std::to_string(length) +
                             " bytes is larger than a backup holds");
  const std::size_t digestAt = kCopyAt + length;
  if (size - kCopyAt < length + kSha256Size)
    return Refuse(error, "the file is cut short");
  if (size - kCopyAt > length + kSha256Size)
    return Refuse(error, "the file is damaged: it is longer than its copy length says");
  // Fields are judged only once the digest shows they are as written.
  uint8_t digest[kSha256Size];
  if (!Sha256(data, digestAt, digest))
    return Refuse(error, "SHA-256 is not available on this system");
  if (std::memcmp(digest, data + digestAt, kSha256Size) != 0)
    return Refuse(error, "the file is damaged: its SHA-256 does not match");

  BackupCopy read;
  read.kind = static_cast<BackupKind>(data[kKindAt]);
  if (!KindKnown(read.kind))
    return Refuse(error, "copy kind " + std::to_string(data[kKindAt]) + " is not known");
  if (data[kReservedAt] != 0)
    return Refuse(error, "the reserved byte is " + std::to_string(data[kReservedAt]) + ", not 0");
  if (!ReadText(data + kLayoutAt, kLayoutField, read.layout))
    return Refuse(error, "the layout name is longer than " + std::to_string(kLayoutField - 1) +
                             " characters");
  if (!CheckPadding(data, kLayoutAt, kLayoutField, read.layout.size(), "layout name", error))
    return false;
  if (!ReadText(data + kFirmwareAt, kFirmwareField, read.firmware))
    return Refuse(error, "the firmware text is longer than " + std::to_string(kFirmwareField - 1) +
                             " characters");
  if (!CheckPadding(data, kFirmwareAt, kFirmwareField, read.firmware.size(), "firmware text",
                    error))
    return false;
  std::copy(data + kAddressAt, data + kAddressAt + sizeof read.address, read.address);
  read.taken = static_cast<int64_t>(ReadLe64(data + kTakenAt));
  read.bytes.assign(data + kCopyAt, data + digestAt);
  if (!CheckAddress(read, error))
    return false;
  copy = std::move(read);
  return true;
}

void BackupFromCopy(const PowerSaveCopy& copy, BackupCopy& backup) {
  backup.kind = copy.kind;
  backup.layout = std::string(copy.Layout());
  backup.firmware = std::string(copy.Firmware());
  std::copy(std::begin(copy.address), std::end(copy.address), backup.address);
  backup.bytes.assign(copy.bytes, copy.bytes + std::min<std::size_t>(copy.size, sizeof copy.bytes));
}

bool BackupToCopy(const BackupCopy& backup, PowerSaveCopy& copy) {
  if (backup.layout.size() >= sizeof copy.layout ||
      backup.firmware.size() >= sizeof copy.firmware || backup.bytes.size() > sizeof copy.bytes)
    return false;
  copy = PowerSaveCopy();
  copy.kind = backup.kind;
  std::copy(backup.layout.begin(), backup.layout.end(), copy.layout);
  std::copy(backup.firmware.begin(), backup.firmware.end(), copy.firmware);
  std::copy(std::begin(backup.address), std::end(backup.address), copy.address);
  copy.size = static_cast<uint32_t>(backup.bytes.size());
  std::copy(backup.bytes.begin(), backup.bytes.end(), copy.bytes);
  return true;
}
