// After NvmUpdateChecksums succeeds on an image whose headers overlap neither
// each other nor any image, NvmVerifyChain must accept the same buffer. Where
// they overlap, renewing one header's checksums can change bytes another
// checksum covers; the strategies catch that by opening the PIB again.
#include <cstdlib>
#include <vector>

#include "nvm/CCStreamAccessStrategy_MemoryBuffer.h"
#include "bytes/LittleEndian.h"
#include "nvm/NvmChain.h"
#include "nvm/NvmHeader.h"

namespace {

struct Span {
  uint64_t begin;
  uint64_t end;
};

bool Overlap(const Span& a, const Span& b) {
  return a.begin < b.end && b.begin < a.end;
}

// The chain's headers and images; the walk ends because the update did.
bool HeadersOverlap(const std::vector<uint8_t>& image) {
  std::vector<Span> headers;
  std::vector<Span> images;
  uint32_t at = 0;
  while (at != kNvmChainEnd && headers.size() <= image.size()) {
    const uint8_t* header = image.data() + at;
    headers.push_back({at, uint64_t{at} + kNvmHeaderSize});
    const uint32_t offset = ReadLe32(header + kNvmImageOffset);
    images.push_back({offset, uint64_t{offset} + ReadLe32(header + kNvmImageLength)});
    at = ReadLe32(header + kNvmNextHeader);
  }
  for (size_t h = 0; h < headers.size(); ++h) {
    for (size_t other = h + 1; other < headers.size(); ++other) {
      if (Overlap(headers[h], headers[other])) {
        return true;
      }
    }
    for (const Span& i : images) {
      if (Overlap(i, headers[h])) {
        return true;
      }
    }
  }
  return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> image(data, data + size);
  const auto capacity = static_cast<uint32_t>(size);
  if (!NvmUpdateChecksums(image.data(), capacity) || HeadersOverlap(image)) {
    return 0;
  }
  CCStreamAccessStrategy_MemoryBuffer stream(image.data(), capacity);
  if (!NvmVerifyChain(stream)) {
    std::abort();
  }
  return 0;
}
