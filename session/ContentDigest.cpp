#include "session/ContentDigest.h"

#include "files/Sha256.h"

#include <cstdio>

std::string ContentDigest(BackupKind kind, const uint8_t* bytes, uint32_t size) {
  const uint32_t content = PowerSaveContentSize(kind, bytes, size);
  uint8_t digest[kSha256Size];
  if (content == 0 || !Sha256(bytes, content, digest))
    return {};
  char hex[2 * kSha256Size + 1];
  for (std::size_t i = 0; i < kSha256Size; ++i)
    std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  return hex;
}

std::string ContentDigest(const PowerSaveCopy& copy) {
  return ContentDigest(copy.kind, copy.bytes, copy.size);
}
