#include "nvm/NvmChain.h"

#include <bitset>

#include "bytes/LittleEndian.h"
#include "nvm/NvmChecksum.h"
#include "nvm/NvmHeader.h"

namespace {

// Header offsets seen by one walk; an offset at or beyond kNvmMaxImageSize
// cannot hold a header of any adapter's image.
class VisitedHeaders {
public:
  // False when the offset cannot be a new header of the walk.
  bool Enter(uint32_t offset) {
    if (offset >= kNvmMaxImageSize || m_seen.test(offset)) {
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

} // namespace

bool NvmVerifyChain(CCStreamAccessStrategy& stream, uint32_t* failedHeader) {
  VisitedHeaders visited;
  uint32_t at = 0;
  for (;;) {
    if (!visited.Enter(at)) {
      break;
    }
    NvmHeader header;
    stream.Read(at, header.bytes, kNvmHeaderSize);
    if (stream.Overrun() || header.ComputedChecksum() != header.headerChecksum()) {
      break;
    }
    if (!IsAligned(header.imageOffset()) || !IsAligned(header.imageLength())) {
      break;
    }
    const uint32_t sum = stream.Checksum(header.imageOffset(), header.imageLength());
    if (stream.Overrun() || sum != header.imageChecksum()) {
      break;
    }
    if (header.nextHeader() == kNvmChainEnd) {
      return true;
    }
    at = header.nextHeader();
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
  if (image == nullptr) {
    return false;
  }
  VisitedHeaders visited;
  uint32_t at = 0;
  for (;;) {
    if (!visited.Enter(at) || !FitsIn(capacity, at, kNvmHeaderSize)) {
      return false;
    }
    uint8_t* header = image + at;
    const uint32_t imageOffset = ReadLe32(header + kNvmImageOffset);
    const uint32_t imageLength = ReadLe32(header + kNvmImageLength);
    if (!IsAligned(imageOffset) || !IsAligned(imageLength) ||
        !FitsIn(capacity, imageOffset, imageLength)) {
      return false;
    }
    WriteLe32(header + kNvmImageChecksum, NvmChecksum(image + imageOffset, imageLength));
    WriteLe32(header + kNvmHeaderChecksum, NvmChecksum(header, kNvmHeaderChecksum));
    const uint32_t next = ReadLe32(header + kNvmNextHeader);
    if (next == kNvmChainEnd) {
      return true;
    }
    at = next;
  }
}
