#include <gtest/gtest.h>

#include <vector>

#include "nvm/CCStreamAccessStrategy_MemoryBuffer.h"
#include "bytes/LittleEndian.h"
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
  NvmEntryInfo found{0xAAAA, 0xBBBB, 0xCCCC};
};

TEST_F(NvmEntryTest, EmptyRangeReadsNothing) {
  Put(16, 2, 4);
  EXPECT_FALSE(NvmFindEntry(2, {stream, 16, 0}, found));
  EXPECT_EQ(stream.reads, 0);
  EXPECT_FALSE(NvmFindEntry(2, {stream, 16, 0xFFFFFFF0}, found)); // end wraps below start
  EXPECT_EQ(stream.reads, 0);
  EXPECT_EQ(found.type, 0xAAAAu);
}

TEST_F(NvmEntryTest, OffsetIsRelativeToTheRangeStart) {
  uint32_t at = Put(16, 2, 4);
  Put(at, 3, 0);
  ASSERT_TRUE(NvmFindEntry(2, {stream, 16, 40}, found));
  EXPECT_EQ(found.type, 2u);
  EXPECT_EQ(found.length, 4u);
  EXPECT_EQ(found.offset, 0u);
  ASSERT_TRUE(NvmFindEntry(3, {stream, 16, 40}, found));
  EXPECT_EQ(found.offset, 12u);
  EXPECT_EQ(found.length, 0u);
}

TEST_F(NvmEntryTest, EmptyEntryIsEightBytesLong) {
  uint32_t at = Put(0, 9, 0);
  Put(at, 3, 4);
  ASSERT_TRUE(NvmFindEntry(3, {stream, 0, 64}, found));
  EXPECT_EQ(found.offset, 8u);
}

TEST_F(NvmEntryTest, FirstOfTwoEntriesOfTheTypeWins) {
  uint32_t at = Put(0, 1, 4);
  at = Put(at, 3, 8);
  Put(at, 3, 4);
  ASSERT_TRUE(NvmFindEntry(3, {stream, 0, 64}, found));
  EXPECT_EQ(found.offset, 12u);
  EXPECT_EQ(found.length, 8u);
}

TEST_F(NvmEntryTest, WalkEndsAtTheRangeEnd) {
  uint32_t at = Put(0, 1, 4);
  Put(at, 3, 4);
  EXPECT_FALSE(NvmFindEntry(3, {stream, 0, 12}, found));
  EXPECT_FALSE(NvmFindEntry(7, {stream, 0, 64}, found));
  EXPECT_EQ(found.type, 0xAAAAu);
}

TEST_F(NvmEntryTest, HeadIsReadWhenLessThanEightBytesOfTheRangeRemain) {
  uint32_t at = Put(0, 1, 0);
  Put(at, 3, 4);
  ASSERT_TRUE(NvmFindEntry(3, {stream, 0, 12}, found));
  EXPECT_EQ(found.offset, 8u);
}

TEST_F(NvmEntryTest, PositionThatWrapsOrStandsStillFindsNothing) {
  Put(0, 1, 0xFFFFFFF8); // 8 + length is 0 in 32 bits: the walk would stand still
  EXPECT_FALSE(NvmFindEntry(3, {stream, 0, 200}, found));

  Put(8, 3, 0);
  Put(16, 1, 0xFFFFFFF0); // the next position would wrap around to 8
  EXPECT_FALSE(NvmFindEntry(3, {stream, 16, 200}, found));
  EXPECT_EQ(found.type, 0xAAAAu);
}

TEST_F(NvmEntryTest, HeadOutsideTheBufferFindsNothing) {
  Put(0, 1, 240); // the next head fills the buffer's last 8 bytes, and is read whole
  Put(248, 3, 0);
  ASSERT_TRUE(NvmFindEntry(3, {stream, 0, 1000}, found));
  EXPECT_EQ(found.offset, 248u);
  found = {0xAAAA, 0xBBBB, 0xCCCC};

  Put(0, 1, 244); // the next head would start at 252, 4 bytes before the end
  EXPECT_FALSE(NvmFindEntry(0xEEEEEEEE, {stream, 0, 1000}, found));
  EXPECT_TRUE(stream.Overrun());
  EXPECT_EQ(found.type, 0xAAAAu);
}

} // namespace
