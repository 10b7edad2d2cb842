#include "backup/BackupFile.h"

#include "bytes/ByteReader.h"
#include "devicelib/DeviceRecord.h"
#include "files/ReadFile.h"
#include "files/Sha256.h"
#include "nvm/PibAddress.h"
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

// A NUL-padded text field; false when it has no NUL, that is when the text
// would be longer than the field allows.
bool ReadText(ByteReader& file, std::size_t fieldAt, std::size_t fieldSize, std::string& text) {
  const uint8_t* field = file.At(fieldAt, fieldSize);
  const void* nul = field != nullptr ? std::memchr(field, '\0', fieldSize) : nullptr;
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
bool CheckPadding(ByteReader& file, std::size_t fieldAt, std::size_t fieldSize,
                  std::size_t textLength, const char* field, std::string& error) {
  for (std::size_t at = fieldAt + textLength + 1; at < fieldAt + fieldSize; ++at) {
    const uint8_t byte = file.U8(at);
    if (byte != 0)
      return Refuse(error, "byte " + std::to_string(at) + ", after the end of the " + field +
                               ", is " + std::to_string(byte) + ", not 0");
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
  Fault fault;
  const int code = view->PibOpen(handle, copy.bytes.data(), capacity, &fault);
  if (code != kPibOk)
    return Refuse(error, "the image does not open as a " + copy.layout + " image (PibOpen code " +
                             std::to_string(code) + ": " +
                             (fault.Said() ? fault.text : PibOpenCodeText(code)) + ")");
  // An open PIB holds its whole device block.
  const AddressText image(handle.pib + kPibDeviceBlock);
  if (std::strcmp(header.text, image.text) != 0)
    return Refuse(error, std::string("the header's address ") + header.text +
                             " differs from the image's " + image.text);
  return true;
}

// BackupDecode's checks; a refusal is composed in `error`, then goes to the fault.
bool Decode(const uint8_t* data, std::size_t size, BackupCopy& copy, std::string& error) {
  if (!BackupIsFile(data, size))
    return Refuse(error, "not an Ostrel backup file");
  ByteReader file(data, size);
  // The version decides the rest of the layout, so it is read first.
  const uint16_t version = file.Le16(kVersionAt);
  if (!file.Failed() && version != kFormatVersion)
    return Refuse(error, "format version " + std::to_string(version) + " is not known");
  const uint32_t length = file.Le32(kLengthAt);
  if (file.Failed())
    return Refuse(error, "the file is cut short: " + std::to_string(size) +
                             " bytes, the header alone needs " + std::to_string(kCopyAt));
  if (length > kBackupMaxCopy)
    return Refuse(error, "the file is damaged: its copy of " + std::to_string(length) +
                             " bytes is larger than a backup holds");
  const std::size_t digestAt = kCopyAt + length;
  const std::size_t whole = digestAt + kSha256Size;
  if (size < whole)
    return Refuse(error, "the file is cut short: " + std::to_string(size) +
                             " bytes, the header, a copy of " + std::to_string(length) +
                             " bytes and the digest need " + std::to_string(whole));
  if (size > whole)
    return Refuse(error, "the file is damaged: it is " + std::to_string(size) +
                             " bytes, its copy length says " + std::to_string(whole));
  // Fields are judged only once the digest shows they are as written.
  uint8_t digest[kSha256Size];
  if (!Sha256(data, digestAt, digest))
    return Refuse(error, "SHA-256 is not available on this system");
  const uint8_t* stored = file.At(digestAt, kSha256Size);
  if (stored == nullptr || std::memcmp(digest, stored, kSha256Size) != 0)
    return Refuse(error, "the file is damaged: its SHA-256 does not match");

  BackupCopy read;
  const uint8_t kind = file.U8(kKindAt);
  read.kind = static_cast<BackupKind>(kind);
  if (!KindKnown(read.kind))
    return Refuse(error, "copy kind " + std::to_string(kind) + " is not known");
  const uint8_t reserved = file.U8(kReservedAt);
  if (reserved != 0)
    return Refuse(error, "the reserved byte is " + std::to_string(reserved) + ", not 0");
  if (!ReadText(file, kLayoutAt, kLayoutField, read.layout))
    return Refuse(error, "the layout name is longer than " + std::to_string(kLayoutField - 1) +
                             " characters");
  if (!CheckPadding(file, kLayoutAt, kLayoutField, read.layout.size(), "layout name", error))
    return false;
  if (!ReadText(file, kFirmwareAt, kFirmwareField, read.firmware))
    return Refuse(error, "the firmware text is longer than " + std::to_string(kFirmwareField - 1) +
                             " characters");
  if (!CheckPadding(file, kFirmwareAt, kFirmwareField, read.firmware.size(), "firmware text",
                    error))
    return false;
  file.Copy(kAddressAt, read.address, sizeof read.address);
  read.taken = static_cast<int64_t>(file.Le64(kTakenAt));
  const uint8_t* bytes = file.At(kCopyAt, length);
  if (bytes != nullptr)
    read.bytes.assign(bytes, bytes + length);
  if (!CheckAddress(read, error))
    return false;
  copy = std::move(read);
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
  ByteWriter out(file.data(), file.size());
  out.Copy(0, kMagic, sizeof kMagic);
  out.Le16(kVersionAt, kFormatVersion);
  out.U8(kKindAt, static_cast<uint8_t>(copy.kind));
  out.Copy(kLayoutAt, copy.layout.data(), copy.layout.size());
  out.Copy(kFirmwareAt, copy.firmware.data(), copy.firmware.size());
  out.Copy(kAddressAt, copy.address, sizeof copy.address);
  out.Le64(kTakenAt, static_cast<uint64_t>(copy.taken));
  out.Le32(kLengthAt, static_cast<uint32_t>(copy.bytes.size()));
  std::copy(copy.bytes.begin(), copy.bytes.end(), file.begin() + kCopyAt);
  uint8_t digest[kSha256Size];
  if (!Sha256(file.data(), digestAt, digest))
    return {};
  out.Copy(digestAt, digest, sizeof digest);
  return file;
}

bool BackupIsFile(const uint8_t* data, std::size_t size) {
  return size >= sizeof kMagic && std::memcmp(data, kMagic, sizeof kMagic) == 0;
}

bool BackupDecode(const uint8_t* data, std::size_t size, BackupCopy& copy, Fault* fault) {
  std::string error;
  if (Decode(data, size, copy, error))
    return true;
  SayFault(fault, "%s", error.c_str());
  return false;
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

BackupReadResult BackupReadFile(const std::string& path, PowerSaveCopy& copy, std::string& fault) {
  std::vector<uint8_t> file;
  std::string error;
  if (!ReadFileUpTo(path, kBackupMaxFileSize, file, error)) {
    fault = path + ": " + error;
    return BackupReadResult::Unreadable;
  }
  if (file.size() > kBackupMaxFileSize) {
    fault = path + ": the file is too large: over " + std::to_string(kBackupMaxFileSize) +
            " bytes, more than any backup file holds";
    return BackupReadResult::Unreadable;
  }
  BackupCopy backup;
  Fault decoded;
  if (!BackupDecode(file.data(), file.size(), backup, &decoded)) {
    fault = path + ": " + decoded.text;
    return BackupReadResult::Refused;
  }
  if (!BackupToCopy(backup, copy)) {
    fault = path + ": holds more than any adapter takes";
    return BackupReadResult::Refused;
  }
  return BackupReadResult::Read;
}
