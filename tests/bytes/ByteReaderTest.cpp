#include "bytes/ByteReader.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Fields come back as the little-endian bytes say; an access that does not
// fit reads zero, writes nothing, and the flag stays set after it.
TEST(ByteReader, ReadsAndWritesOnlyWithinBounds) {
  uint8_t bytes[10] = {};
  ByteWriter writer(bytes, sizeof bytes);
  writer.Le16(0, 0x0201);
  writer.Le64(2, 0x0A09080706050403u);
  EXPECT_FALSE(writer.Failed());
  writer.Le32(8, 0xFFFFFFFF);
  writer.Copy(SIZE_MAX, bytes, 2);
  EXPECT_TRUE(writer.Failed());
  EXPECT_EQ(bytes[8], 0x09);

  ByteReader reader(bytes, sizeof bytes);
  EXPECT_EQ(reader.U8(9), 0x0A);
  EXPECT_EQ(reader.Le16(0), 0x0201);
  EXPECT_EQ(reader.Le32(2), 0x06050403u);
  EXPECT_EQ(reader.Le64(2), 0x0A09080706050403u);
  EXPECT_FALSE(reader.Failed());
  const struct {
    std::size_t at, length;
  } outside[] = {{10, 1}, {9, 2}, {SIZE_MAX, 2}, {2, SIZE_MAX}};
  for (const auto& o : outside) {
    ByteReader r(bytes, sizeof bytes);
    uint8_t copy[2] = {7, 7};
    EXPECT_EQ(r.At(o.at, o.length), nullptr);
    r.Copy(o.at, copy, o.length < sizeof copy ? o.length : sizeof copy);
    EXPECT_TRUE(r.Failed()) << o.at << " " << o.length;
    EXPECT_EQ(r.U8(0), 0x01) << "a later read in bounds still reads";
    EXPECT_TRUE(r.Failed());
  }
  ByteReader none(nullptr, 4);
  EXPECT_EQ(none.Le32(0), 0u);
  EXPECT_TRUE(none.Failed());
}

} // namespace
