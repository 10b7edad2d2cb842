#include "session/ContentDigest.h"

#include "files/Sha256.h"

#include <cstdio>

std::string ContentDigest(BackupKind kind, const uint8_t* bytes, uint32_t size) {
  return CoveredDigest(bytes, size, PowerSaveContentSize(kind, bytes, size));
}

std::string ContentDigest(const PowerSaveCopy& copy) {
  return ContentDigest(copy.kind, copy.bytes, copy.size);
}

std::string CoveredDigest(const uint8_t* bytes, uint32_t size, uint32_t length) {
  uint8_t digest[kSha256Size];
  if (length == 0 || length > size || !Sha256(bytes, length, digest))
    return {};
  char hex[2 * kSha256Size + 1];
  for (std::size_t i = 0; i < kSha256Size; ++i)
    std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  return hex;
}
