#include "bytes/ByteReader.h"
#include "bytes/Fault.h"

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

// A fault is said only where there is a record for it, cut to fit.
TEST(Fault, IsFilledOnlyWhenAskedForAndCutToFit) {
  SayFault(nullptr, "header at 0x%04x", 0u);
  Fault fault;
  EXPECT_FALSE(fault.Said());
  SayFault(&fault, "header at 0x%04x: image checksum 0x%08x expected, 0x%08x found", 0u,
           0x1234abcdu, 0x1234abccu);
  EXPECT_STREQ(fault.text, "header at 0x0000: image checksum 0x1234abcd expected, 0x1234abcc found");
  SayFault(&fault, "%0300d", 1);
  EXPECT_EQ(fault.text[sizeof fault.text - 1], '\0');
  // Any text at all is a fault said.
  SayFault(&fault, "x");
  EXPECT_TRUE(fault.Said());
}

} // namespace
