// After NvmUpdateChecksums succeeds on an image whose images overlap no
// header, NvmVerifyChain must accept the same buffer.
#include <cstdlib>
#include <vector>

#include "nvm/CCStreamAccessStrategy_MemoryBuffer.h"
#include "nvm/LittleEndian.h"
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
bool ImagesOverlapAHeader(const std::vector<uint8_t>& image) {
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
  for (const Span& i : images) {
    for (const Span& h : headers) {
      if (Overlap(i, h)) {
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
  if (!NvmUpdateChecksums(image.data(), capacity) || ImagesOverlapAHeader(image)) {
    return 0;
  }
  CCStreamAccessStrategy_MemoryBuffer stream(image.data(), capacity);
  if (!NvmVerifyChain(stream)) {
    std::abort();
  }
  return 0;
}
