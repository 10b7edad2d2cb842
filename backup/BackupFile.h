#pragma once
// The backup file: a copy of what an adapter held (its NVM image or Broadcom
// parameter 41) that says which adapter, firmware and layout it came from and
// proves its own integrity.
//
// Layout, every number little-endian:
//   offset  size  field
//        0     8  magic "OSTRELBK"
//        8     2  format version, 1
//       10     1  kind: 1 NVM image, 2 parameter 41
//       11     1  reserved, 0
//       12    16  layout name, NUL-padded (at most 15 characters; empty for parameter 41)
//       28   163  firmware text, NUL-padded (at most 162 characters)
//      191     6  adapter address: an image's is the first 6 bytes of its PIB's
//                 device block; zero for parameter 41
//      197     8  when it was taken: signed seconds since 1970-01-01 UTC
//      205     4  copy length N, at most 1 MiB
//      209     N  the copy, unchanged
//    209+N    32  SHA-256 of bytes 0 .. 209+N-1

#include "bytes/Fault.h"
#include "powersave/PowerSaveCopy.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct BackupCopy {
  BackupKind kind = BackupKind::NvmImage;
  std::string
      layout; // image: the PIB layout name ("7420-1.3", "7420-1.4", "7500"); empty for Param41
  std::string firmware; // the device record's firmware text, at most 162 characters; may be empty
  uint8_t address[6] = {};    // image: the adapter's address (first 6 bytes of the PIB's device
                              // block); zero for Param41
  int64_t taken = 0;          // when it was taken, seconds since 1970-01-01 UTC
  std::vector<uint8_t> bytes; // the copy's bytes, unchanged
};

// The largest copy a backup file holds: well above any image buffer, and a
// bound on what a damaged length can make a reader allocate.
constexpr std::size_t kBackupMaxCopy = 1u << 20;

// The file's bytes: magic, format version, the fields above, the copy, and
// last a SHA-256 over everything before it. Empty when the digest is
// unavailable, or when a field is over its limit or the kind is not known.
std::vector<uint8_t> BackupEncode(const BackupCopy& copy);

// The copy a strategy saves and restores, and back; false when a field does
// not fit the strategy's fixed-size copy.
void BackupFromCopy(const PowerSaveCopy& copy, BackupCopy& backup);
bool BackupToCopy(const BackupCopy& backup, PowerSaveCopy& copy);

// True when `data` begins with the magic: a backup file rather than a bare image.
bool BackupIsFile(const uint8_t* data, std::size_t size);

// Decodes and checks: magic, version, sizes, field limits, kind, that the copy
// length matches the file, and the digest; then, so that a file has one
// reading, that the reserved byte and every byte after a text's NUL are 0, and
// that the address is the copy's own (an image must be its layout's size and
// open with it). So what decodes encodes to the same bytes. False with
// `fault` naming what is wrong in words a user understands, with the sizes
// and values it expected and found; `copy` is then unchanged.
bool BackupDecode(const uint8_t* data, std::size_t size, BackupCopy& copy, Fault* fault = nullptr);

// More than the largest backup file: a file larger than this is no backup.
constexpr std::size_t kBackupMaxFileSize = 2 * kBackupMaxCopy;

enum class BackupReadResult { Read, Unreadable, Refused };

// Reads the backup file at `path` into the strategies' copy: Unreadable when
// the file cannot be read or is too large for one, Refused when it does not
// decode or holds more than any adapter takes. `fault` then says why,
// starting with the path.
BackupReadResult BackupReadFile(const std::string& path, PowerSaveCopy& copy, std::string& fault);
