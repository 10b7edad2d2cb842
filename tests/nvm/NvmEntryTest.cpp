#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "bytes/LittleEndian.h"
#include "nvm/CCStreamAccessStrategy_MemoryBuffer.h"
#include "nvm/NvmChain.h"

namespace {

// Counts the reads that reach the buffer.
class CountingStream final : public CCStreamAccessStrategy {
public:
  explicit CountingStream(std::vector<uint8_t>& bytes)
      : m_inner(bytes.data(), static_cast<uint32_t>(bytes.size())) {}
  void Read(uint32_t offset, void* destination, uint32_t length) override {
    ++reads;
    m_inner.Read(offset, destination, length);
  }
  void Write(uint32_t offset, const void* source, uint32_t length) override {
    m_inner.Write(offset, source, length);
  }
  void ClearByte(uint32_t offset, uint32_t unused) override { m_inner.ClearByte(offset, unused); }
  uint32_t Checksum(uint32_t offset, uint32_t length) override {
    return m_inner.Checksum(offset, length);
  }
  bool Overrun() const override { return m_inner.Overrun(); }

  int reads = 0;

private:
  CCStreamAccessStrategy_MemoryBuffer m_inner;
};

class NvmEntryTest : public ::testing::Test {
protected:
  NvmEntryTest() : bytes(256, 0xEE), stream(bytes) {}

  // Appends an entry at `at`, returns where the next one begins.
  uint32_t Put(uint32_t at, uint32_t type, uint32_t length) {
    WriteLe32(bytes.data() + at, type);
    WriteLe32(bytes.data() + at + 4, length);
    return at + 8 + length;
  }

  std::vector<uint8_t> bytes;
  CountingStream stream;
  static constexpr NvmEntryInfo kMiss{0xAAAA, 0xBBBB, 0xCCCC};
  NvmEntryInfo found = kMiss;
};

TEST_F(NvmEntryTest, EmptyRangeReadsNothing) {
  Put(16, 2, 4);
  EXPECT_FALSE(NvmFindEntry(2, {stream, 16, 0}, found));
  EXPECT_EQ(stream.reads, 0);
  EXPECT_FALSE(NvmFindEntry(2, {stream, 16, 0xFFFFFFF0}, found)); // end wraps below start
  EXPECT_EQ(stream.reads, 0);
  EXPECT_EQ(found.type, 0xAAAAu);
}

// Entries laid one after another from `from`, then a search of the range
// [start, end) for `type`; a miss leaves `found` as it was.
TEST_F(NvmEntryTest, FindsTheFirstEntryOfTheTypeInsideTheRange) {
  const struct {
    const char* what;
    uint32_t from;
    std::vector<std::pair<uint32_t, uint32_t>> entries; // type, length
    uint32_t start, end, type;
    NvmEntryInfo want; // the offset relative to the range start
  } cases[] = {
      // clang-format off
      {"offset relative to the range start", 16, {{2, 4}, {3, 0}}, 16, 40, 2, {2, 4, 0}},
      {"an empty entry found", 16, {{2, 4}, {3, 0}}, 16, 40, 3, {3, 0, 12}},
      {"an empty entry is eight bytes long", 0, {{9, 0}, {3, 4}}, 0, 64, 3, {3, 4, 8}},
      {"the first of two of the type wins", 0, {{1, 4}, {3, 8}, {3, 4}}, 0, 64, 3, {3, 8, 12}},
      {"the walk ends at the range end", 0, {{1, 4}, {3, 4}}, 0, 12, 3, kMiss},
      {"no entry of the type", 0, {{1, 4}, {3, 4}}, 0, 64, 7, kMiss},
      // The head is read when less than eight bytes of the range remain.
      {"a head past the range end", 0, {{1, 0}, {3, 4}}, 0, 12, 3, {3, 4, 8}},
      {"a head that fills the buffer's last 8 bytes", 0, {{1, 240}, {3, 0}}, 0, 1000, 3, {3, 0, 248}},
      // 8 + length is 0 in 32 bits: the walk would stand still.
      {"a walk that stands still", 0, {{1, 0xFFFFFFF8}}, 0, 200, 3, kMiss},
      // The position after the entry at 16 would wrap around to 8.
      {"a position that wraps", 8, {{3, 0}, {1, 0xFFFFFFF0}}, 16, 200, 3, kMiss},
      // clang-format on
  };
  for (const auto& c : cases) {
    std::fill(bytes.begin(), bytes.end(), 0xEE);
    uint32_t at = c.from;
    for (const auto& [type, length] : c.entries)
      at = Put(at, type, length);
    found = kMiss;
    EXPECT_EQ(NvmFindEntry(c.type, {stream, c.start, c.end}, found), c.want.type == c.type)
        << c.what;
    EXPECT_EQ((std::vector<uint32_t>{found.type, found.length, found.offset}),
              (std::vector<uint32_t>{c.want.type, c.want.length, c.want.offset}))
        << c.what;
  }
}

TEST_F(NvmEntryTest, HeadOutsideTheBufferFindsNothing) {
  Put(0, 1, 244); // the next head would start at 252, 4 bytes before the end
  EXPECT_FALSE(NvmFindEntry(0xEEEEEEEE, {stream, 0, 1000}, found));
  EXPECT_TRUE(stream.Overrun());
  EXPECT_EQ(found.type, 0xAAAAu);
}

} // namespace
