// After NvmUpdateChecksums succeeds on an image whose headers overlap neither
// each other nor any image, NvmVerifyChain must accept the same buffer. Where
// they overlap, renewing one header's checksums can change bytes another
// header holds, its next field among them; the strategies catch that by
// opening the PIB again. So overlap is decided on the input, before the update
// can change the chain.
#include <cstdlib>
#include <vector>

#include "bytes/ByteReader.h"
#include "nvm/CCStreamAccessStrategy_MemoryBuffer.h"
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

// True when the input's chain has headers that overlap each other or an image,
// or when it cannot be followed to its end inside the input. A chain that
// comes back overlaps itself, so the walk ends.
bool HeadersOverlap(const uint8_t* data, size_t size) {
  ByteReader input(data, size);
  std::vector<Span> headers;
  std::vector<Span> images;
  for (uint32_t at = 0; at != kNvmChainEnd; at = input.Le32(at + uint64_t{kNvmNextHeader})) {
    const Span header{at, uint64_t{at} + kNvmHeaderSize};
    for (const Span& other : headers) {
      if (Overlap(header, other)) {
        return true;
      }
    }
    if (input.At(at, kNvmHeaderSize) == nullptr) {
      return true;
    }
    headers.push_back(header);
    const uint32_t offset = input.Le32(at + uint64_t{kNvmImageOffset});
    images.push_back({offset, uint64_t{offset} + input.Le32(at + uint64_t{kNvmImageLength})});
  }
  for (const Span& header : headers) {
    for (const Span& image : images) {
      if (Overlap(image, header)) {
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
  if (HeadersOverlap(data, size) || !NvmUpdateChecksums(image.data(), capacity)) {
    return 0;
  }
  CCStreamAccessStrategy_MemoryBuffer stream(image.data(), capacity);
  if (!NvmVerifyChain(stream)) {
    std::abort();
  }
  return 0;
}
