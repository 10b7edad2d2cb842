// NvmFindEntry over arbitrary bytes: the first 12 bytes of the input give the
// wanted type and the range, the rest is the buffer.
#include <cstdlib>
#include <vector>

#include "nvm/CCStreamAccessStrategy_MemoryBuffer.h"
#include "bytes/LittleEndian.h"
#include "nvm/NvmChain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) {
    return 0;
  }
  const uint32_t type = ReadLe32(data);
  const uint32_t start = ReadLe32(data + 4);
  const uint32_t length = ReadLe32(data + 8);
  std::vector<uint8_t> buffer(data + 12, data + size);
  CCStreamAccessStrategy_MemoryBuffer stream(buffer.data(), static_cast<uint32_t>(buffer.size()));
  NvmEntryInfo found{};
  if (NvmFindEntry(type, {stream, start, length}, found)) {
    // The entry found is of the wanted type, its head inside the range and the buffer.
    const bool holds = found.type == type && found.offset < length &&
                       uint64_t{start} + found.offset + 8 <= buffer.size() &&
                       ReadLe32(buffer.data() + start + found.offset) == type;
    if (!holds) {
      std::abort();
    }
  }
  return 0;
}
