#pragma once
#include <cstdint>

#include "bytes/Fault.h"
#include "nvm/CCStreamAccessStrategy.h"

// Operations on the header chain of an NVM image and on the tagged entries of
// its first image. Every walk ends, and none touches a byte outside the
// buffer: a header or image that does not fit, or a chain that comes back to
// a header already visited, fails the walk. Verification and checksum renewal
// are two uses of one walk of the chain, so they fail at the same headers.

struct NvmImageRange {
  CCStreamAccessStrategy& stream;
  uint32_t start;
  uint32_t length;
};

struct NvmEntryInfo {
  uint32_t type;
  uint32_t length;
  // Offset of the entry's head from the range's start.
  uint32_t offset;
};

// True when every header from offset 0 on has a right header checksum, an
// aligned image offset and length, and a right image checksum. When false,
// `failedHeader` holds the offset of the header that failed, so that a caller
// can tell whose bytes lie there, and `fault` what that header was expected to
// hold and held.
bool NvmVerifyChain(CCStreamAccessStrategy& stream, uint32_t* failedHeader = nullptr,
                    Fault* fault = nullptr);

// Finds the first entry of `type` in the range. A walk that leaves the stream,
// or whose position would wrap around, finds nothing; `out` is then untouched.
bool NvmFindEntry(uint32_t type, const NvmImageRange& range, NvmEntryInfo& out);

// Gives every header of the chain a fresh image checksum, then a fresh header
// checksum. Fails at the first header that is misaligned, does not fit, or was
// visited already; earlier headers keep their new checksums.
bool NvmUpdateChecksums(uint8_t* image, uint32_t capacity);
