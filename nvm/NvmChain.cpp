#include "nvm/NvmChain.h"

#include <bitset>

#include "bytes/LittleEndian.h"
#include "nvm/CCStreamAccessStrategy_MemoryBuffer.h"
#include "nvm/NvmChecksum.h"
#include "nvm/NvmHeader.h"

namespace {

// Header offsets seen by one walk, each below kNvmMaxImageSize.
class VisitedHeaders {
public:
  // False when the walk has been at the offset before.
  bool Enter(uint32_t offset) {
    if (m_seen.test(offset)) {
      return false;
    }
    m_seen.set(offset);
    return true;
  }

private:
  std::bitset<kNvmMaxImageSize> m_seen;
};

bool IsAligned(uint32_t value) {
  return value % 4 == 0;
}

enum class ChainUse { Verify, RenewChecksums };

// Walks the chain from offset 0 to its end, or to the first header that
// fails, whose offset is then left in `at`. Verifying checks each header's
// two checksums; renewing writes fresh ones instead, the image's first, since
// the header's covers it.
bool WalkChain(CCStreamAccessStrategy& stream, ChainUse use, uint32_t& at, Fault* fault) {
  VisitedHeaders visited;
  NvmHeader header;
  for (at = 0;; at = header.nextHeader()) {
    stream.Read(at, header.bytes, kNvmHeaderSize);
    // No adapter's image is larger, so a header further on is past its end.
    if (stream.Overrun() || at >= kNvmMaxImageSize) {
      SayFault(fault,
               "header at 0x%04x: a whole header inside the image expected, one past its end found",
               at);
      return false;
    }
    if (!visited.Enter(at)) {
      SayFault(fault,
               "header at 0x%04x: a chain that ends expected, one that comes back here found", at);
      return false;
    }
    const uint32_t stored = header.headerChecksum();
    if (use == ChainUse::Verify && header.ComputedChecksum() != stored) {
      SayFault(fault, "header at 0x%04x: header checksum 0x%08x expected, 0x%08x found", at, stored,
               header.ComputedChecksum());
      return false;
    }
    const uint32_t imageOffset = header.imageOffset();
    const uint32_t imageLength = header.imageLength();
    if (!IsAligned(imageOffset)) {
      SayFault(fault, "header at 0x%04x: image offset a multiple of 4 expected, 0x%x found", at,
               imageOffset);
      return false;
    }
    if (!IsAligned(imageLength)) {
      SayFault(fault, "header at 0x%04x: image length a multiple of 4 expected, %u found", at,
               imageLength);
      return false;
    }
    const uint32_t sum = stream.Checksum(imageOffset, imageLength);
    if (stream.Overrun()) {
      SayFault(fault,
               "header at 0x%04x: an image inside the buffer expected, %u bytes at 0x%x found", at,
               imageLength, imageOffset);
      return false;
    }
    if (use == ChainUse::RenewChecksums) {
      WriteLe32(header.bytes + kNvmImageChecksum, sum);
      WriteLe32(header.bytes + kNvmHeaderChecksum, header.ComputedChecksum());
      stream.Write(at, header.bytes, kNvmHeaderSize);
    } else if (sum != header.imageChecksum()) {
      SayFault(fault, "header at 0x%04x: image checksum 0x%08x expected, 0x%08x found", at,
               header.imageChecksum(), sum);
      return false;
    }
    if (header.nextHeader() == kNvmChainEnd) {
      return true;
    }
  }
}

} // namespace

bool NvmVerifyChain(CCStreamAccessStrategy& stream, uint32_t* failedHeader, Fault* fault) {
  uint32_t at = 0;
  if (WalkChain(stream, ChainUse::Verify, at, fault)) {
    return true;
  }
  if (failedHeader != nullptr) {
    *failedHeader = at;
  }
  return false;
}

bool NvmFindEntry(uint32_t type, const NvmImageRange& range, NvmEntryInfo& out) {
  const uint32_t end = range.start + range.length;
  uint32_t at = range.start;
  while (at < end) {
    uint8_t head[8];
    range.stream.Read(at, head, sizeof head);
    if (range.stream.Overrun()) {
      return false;
    }
    const uint32_t entryType = ReadLe32(head);
    const uint32_t entryLength = ReadLe32(head + 4);
    if (entryType == type) {
      out = {entryType, entryLength, at - range.start};
      return true;
    }
    const uint64_t next = uint64_t{at} + entryLength + 8;
    if (next > UINT32_MAX) {
      return false;
    }
    at = static_cast<uint32_t>(next);
  }
  return false;
}

bool NvmUpdateChecksums(uint8_t* image, uint32_t capacity) {
  CCStreamAccessStrategy_MemoryBuffer stream(image, capacity);
  uint32_t at = 0;
  return WalkChain(stream, ChainUse::RenewChecksums, at, nullptr);
}
