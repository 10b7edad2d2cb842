// BackupDecode on arbitrary bytes: it reads nothing outside them, a refusal
// always says why, and a file it accepts has one reading, so encoding what it
// decoded gives the same bytes again. Random bytes rarely end in their own
// digest, so the input is decoded once as it is and once more with its last
// 32 bytes made the digest of the rest: the second run reaches the fields.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "backup/BackupFile.h"
#include "files/Sha256.h"

namespace {

void DecodeAndEncodeAgain(const std::vector<uint8_t>& file) {
  BackupCopy copy;
  Fault fault;
  if (!BackupDecode(file.data(), file.size(), copy, &fault)) {
    if (!fault.Said()) {
      std::abort();
    }
    return;
  }
  if (BackupEncode(copy) != file) {
    std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  DecodeAndEncodeAgain(file);
  uint8_t digest[kSha256Size];
  if (size >= kSha256Size && Sha256(file.data(), size - kSha256Size, digest)) {
    std::copy(std::begin(digest), std::end(digest), file.end() - kSha256Size);
    DecodeAndEncodeAgain(file);
  }
  return 0;
}
