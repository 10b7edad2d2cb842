#include <gtest/gtest.h>

#include <vector>

#include "nvm/CCStreamAccessStrategy_MemoryBuffer.h"
#include "nvm/NvmChecksum.h"

namespace {

// The complement of the XOR of the little-endian words; bytes after the last
// whole word do not count.
TEST(NvmChecksum, ComplementsXorOfLittleEndianWords) {
  const uint8_t bytes[8] = {0x01, 0x02, 0x03, 0x04, 0x10, 0x00, 0x00, 0x80};
  const uint8_t zeros[92] = {};
  // clang-format off
  const struct { const uint8_t* bytes; uint32_t length, sum; } cases[] = {
      {bytes, 0, 0xFFFFFFFFu},
      {bytes, 4, ~0x04030201u},
      {bytes, 7, ~0x04030201u},
      {bytes, 8, ~(0x04030201u ^ 0x80000010u)},
      {zeros, 92, 0xFFFFFFFFu},
  };
  // clang-format on
  for (const auto& c : cases)
    EXPECT_EQ(NvmChecksum(c.bytes, c.length), c.sum) << c.length;
}

// Long ranges take a wide path; every word must count once, whatever its
// position, and the result must not depend on the order of the words.
TEST(NvmChecksum, LongRangesMatchWordByWordXor) {
  std::vector<uint8_t> bytes(16384 + 12);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(i * 131 + 7);
  }
  for (uint32_t length : {36u, 64u, 100u, 16384u, 16396u}) {
    uint32_t expected = 0;
    for (uint32_t at = 0; at + 4 <= length; at += 4) {
      expected ^= bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                  static_cast<uint32_t>(bytes[at + 3]) << 24;
    }
    EXPECT_EQ(NvmChecksum(bytes.data(), length), ~expected) << length;
  }
  std::vector<uint8_t> swapped(bytes.begin(), bytes.begin() + 64);
  std::copy(bytes.begin(), bytes.begin() + 4, swapped.begin() + 60);
  std::copy(bytes.begin() + 60, bytes.begin() + 64, swapped.begin());
  EXPECT_EQ(NvmChecksum(swapped.data(), 64), NvmChecksum(bytes.data(), 64));
}

TEST(MemoryBufferStream, ReadsWritesAndChecksumsInsideTheBuffer) {
  uint8_t buffer[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  CCStreamAccessStrategy_MemoryBuffer stream(buffer, sizeof buffer);
  uint8_t got[4] = {};
  stream.Read(12, got, 4);
  EXPECT_EQ(got[0], 13);
  EXPECT_EQ(got[3], 16);
  const uint8_t put[2] = {0xEE, 0xFF};
  stream.Write(14, put, 2);
  EXPECT_EQ(buffer[15], 0xFF);
  stream.Write(1, put, 1);
  EXPECT_EQ(buffer[1], 0xEE);
  stream.ClearByte(0, 12345);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(stream.Checksum(4, 8), NvmChecksum(buffer + 4, 8));
  EXPECT_FALSE(stream.Overrun());
}

TEST(MemoryBufferStream, AccessThatDoesNotFitChangesNothingAndSticks) {
  uint8_t buffer[16] = {};
  buffer[15] = 0x5A;
  CCStreamAccessStrategy_MemoryBuffer stream(buffer, sizeof buffer);
  uint8_t got[4] = {9, 9, 9, 9};
  stream.Read(13, got, 4);
  EXPECT_TRUE(stream.Overrun());
  EXPECT_EQ(got[0], 0);
  EXPECT_EQ(got[3], 0);

  const uint8_t put[4] = {1, 1, 1, 1};
  stream.Write(0xFFFFFFFE, put, 4); // the end would wrap around
  stream.ClearByte(16, 0);
  EXPECT_EQ(stream.Checksum(4, 0xFFFFFFFC), 0xFFFFFFFFu);
  EXPECT_EQ(buffer[15], 0x5A);

  stream.Read(0, got, 4); // a good read later does not clear the flag
  EXPECT_TRUE(stream.Overrun());
}

TEST(MemoryBufferStream, NullBufferHoldsNothing) {
  CCStreamAccessStrategy_MemoryBuffer stream(nullptr, 16384);
  uint8_t got[1];
  stream.Read(0, got, 1);
  EXPECT_TRUE(stream.Overrun());
}

} // namespace
