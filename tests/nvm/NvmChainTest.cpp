#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bytes/LittleEndian.h"
#include "nvm/CCStreamAccessStrategy_MemoryBuffer.h"
#include "nvm/NvmChain.h"
#include "nvm/NvmHeader.h"
#include "nvm/NvmImageBuilder.h"
#include "nvm/PibLayout.h"

namespace {

class NvmChainTest : public ::testing::Test {
protected:
  NvmChainTest() : image(1024) {
    for (size_t i = 0; i < image.size(); ++i) {
      image[i] = static_cast<uint8_t>(i * 37 + 11);
    }
  }

  bool Verify() { return Verify(static_cast<uint32_t>(image.size())); }
  bool Verify(uint32_t capacity) {
    CCStreamAccessStrategy_MemoryBuffer stream(image.data(), capacity);
    failedHeader = kUntouched;
    fault = Fault();
    return NvmVerifyChain(stream, &failedHeader, &fault);
  }
  bool Update() { return NvmUpdateChecksums(image.data(), static_cast<uint32_t>(image.size())); }
  uint32_t Field(uint32_t header, uint32_t field) {
    return ReadLe32(image.data() + header + field);
  }
  void SetField(uint32_t header, uint32_t field, uint32_t value) {
    WriteLe32(image.data() + header + field, value);
  }

  // What a failed check expected and found: a header's stored checksum and
  // the one its bytes give.
  static std::string Checksums(const char* which, uint32_t stored, uint32_t computed) {
    char text[64];
    std::snprintf(text, sizeof text, "%s checksum 0x%08x expected, 0x%08x found", which, stored,
                  computed);
    return text;
  }

  static constexpr uint32_t kUntouched = 0xDEADBEEF;
  std::vector<uint8_t> image;
  // Where the last Verify failed, and why; left alone when it passed.
  uint32_t failedHeader = kUntouched;
  Fault fault;
};

TEST_F(NvmChainTest, SingleHeaderWithRightChecksumsVerifies) {
  NvmPutHeader(image, 0, 96, 64, kNvmChainEnd, 0x1234);
  // The fields where the adapter keeps them, whatever our constants say.
  EXPECT_EQ(Field(0, 8), 96u);
  EXPECT_EQ(Field(0, 16), 64u);
  EXPECT_EQ(Field(0, 20), NvmChecksum(image.data() + 96, 64));
  EXPECT_EQ(Field(0, 28), kNvmChainEnd);
  EXPECT_EQ(Field(0, 32), 0x1234u);
  EXPECT_EQ(Field(0, 92), NvmChecksum(image.data(), 92));
  EXPECT_TRUE(Verify());
  EXPECT_EQ(failedHeader, kUntouched);
  EXPECT_FALSE(fault.Said());
}

TEST_F(NvmChainTest, EmptyImageCarriesAllOnesChecksum) {
  NvmPutHeader(image, 0, 96, 0, kNvmChainEnd, 0);
  EXPECT_EQ(Field(0, kNvmImageChecksum), 0xFFFFFFFFu);
  EXPECT_TRUE(Verify());
  NvmPutHeader(image, 0, 1024, 0, kNvmChainEnd, 0); // it may start at the buffer's end
  EXPECT_TRUE(Verify());
  EXPECT_TRUE(Update());
}

TEST_F(NvmChainTest, EachChecksumIsChecked) {
  NvmPutHeader(image, 0, 96, 64, kNvmChainEnd, 0);
  const uint32_t headerSum = Field(0, kNvmHeaderChecksum);
  SetField(0, kNvmHeaderChecksum, headerSum ^ 0x100);
  EXPECT_FALSE(Verify());
  EXPECT_EQ(fault.text, "header at 0x0000: " + Checksums("header", headerSum ^ 0x100, headerSum));

  NvmPutHeader(image, 0, 96, 64, kNvmChainEnd, 0);
  image[100] ^= 1; // the image changes, its checksum does not
  EXPECT_FALSE(Verify());
  const uint32_t imageSum = Field(0, kNvmImageChecksum);
  EXPECT_EQ(fault.text, "header at 0x0000: " + Checksums("image", imageSum, imageSum ^ 1));
}

TEST_F(NvmChainTest, BufferOfZerosFails) {
  std::fill(image.begin(), image.end(), 0);
  EXPECT_FALSE(Verify());
}

TEST_F(NvmChainTest, MisalignedImageFailsWhateverTheChecksums) {
  for (uint32_t offset : {6u, 102u}) { // the first leaves both checksums outside the image
    NvmPutHeader(image, 0, offset, 12, kNvmChainEnd, 0);
    EXPECT_FALSE(Verify()) << offset;
    EXPECT_FALSE(Update()) << offset;
  }
  EXPECT_STREQ(fault.text, "header at 0x0000: image offset a multiple of 4 expected, 0x66 found");

  NvmPutHeader(image, 0, 96, 10, kNvmChainEnd, 0);
  EXPECT_FALSE(Verify());
  EXPECT_STREQ(fault.text, "header at 0x0000: image length a multiple of 4 expected, 10 found");
  EXPECT_FALSE(Update());
}

TEST_F(NvmChainTest, UnalignedHeaderOffsetIsFollowed) {
  NvmPutHeader(image, 98, 300, 40, kNvmChainEnd, 0);
  NvmPutHeader(image, 0, 196, 100, 98, 0);
  EXPECT_TRUE(Verify());
  image[310] ^= 0x80; // inside the second header's image only
  EXPECT_FALSE(Verify());
  EXPECT_EQ(failedHeader, 98u);
}

TEST_F(NvmChainTest, UpdateMakesAnEditedImagePassAgain) {
  NvmImageBuilder built(kPibLayout74201D4, false);
  built.Pib()[7552] = 0x08;
  CCStreamAccessStrategy_MemoryBuffer stream(built.image.data(), 16384);
  EXPECT_FALSE(NvmVerifyChain(stream));
  std::vector<uint8_t> expected = built.image;
  ASSERT_TRUE(NvmUpdateChecksums(built.image.data(), 16384));
  CCStreamAccessStrategy_MemoryBuffer again(built.image.data(), 16384);
  EXPECT_TRUE(NvmVerifyChain(again));
  // Only the two checksums of each header of the chain changed.
  for (uint32_t header : {0u, built.PibHeader(), built.LastHeader()}) {
    for (uint32_t field : {kNvmImageChecksum, kNvmHeaderChecksum})
      std::copy_n(built.image.begin() + header + field, 4, expected.begin() + header + field);
  }
  EXPECT_EQ(built.image, expected);
}

TEST_F(NvmChainTest, HeadersThatOverlapCanStaySealedWrongAfterAnUpdate) {
  // The second header starts inside the first, so renewing its checksums
  // changes bytes the first header's checksum covers: the update succeeds, but
  // the chain no longer verifies, which is why callers open the image again.
  NvmPutHeader(image, 0, 500, 64, 46, 0);
  NvmPutHeader(image, 46, 600, 64, kNvmChainEnd, 0);
  image[600] ^= 1;
  EXPECT_TRUE(Update());
  EXPECT_FALSE(Verify());
}

TEST_F(NvmChainTest, UpdateStopsAtBadHeaderAfterRewritingEarlierOnes) {
  NvmPutHeader(image, 0, 96, 64, 200, kNvmChainEnd);
  NvmPutHeader(image, 200, 300, 64, 400, 0);
  NvmPutHeader(image, 400, 500, 64, kNvmChainEnd, 200);
  const uint32_t imageSum = Field(0, kNvmImageChecksum);
  const uint32_t headerSum = Field(0, kNvmHeaderChecksum);
  image[100] ^= 0xFF;
  SetField(200, kNvmImageLength, 10);
  SetField(400, kNvmHeaderChecksum, 0);

  EXPECT_FALSE(Update());
  EXPECT_NE(Field(0, kNvmImageChecksum), imageSum);
  EXPECT_NE(Field(0, kNvmHeaderChecksum), headerSum);
  NvmHeader first;
  std::copy(image.begin(), image.begin() + kNvmHeaderSize, first.bytes);
  EXPECT_EQ(first.ComputedChecksum(), first.headerChecksum());
  EXPECT_EQ(Field(400, kNvmHeaderChecksum), 0u);
}

TEST_F(NvmChainTest, HeaderOrImageOutsideTheBufferFails) {
  NvmPutHeader(image, 0, 96, 64, 1024 - 95, 0); // next header one byte short
  EXPECT_FALSE(Verify());
  EXPECT_EQ(failedHeader, 1024u - 95);
  EXPECT_STREQ(
      fault.text,
      "header at 0x03a1: a whole header inside the image expected, one past its end found");
  EXPECT_FALSE(Update());

  NvmPutHeader(image, 0, 1020, 8, kNvmChainEnd, 0);
  SetField(0, kNvmImageChecksum, 0xFFFFFFFF); // what a range that reads nothing sums to
  NvmSealHeader(image, 0);
  EXPECT_FALSE(Verify());
  EXPECT_STREQ(fault.text,
               "header at 0x0000: an image inside the buffer expected, 8 bytes at 0x3fc found");
  EXPECT_FALSE(Update());

  NvmPutHeader(image, 0, 0xFFFFFFFC, 8, kNvmChainEnd, 0); // end wraps around to 4
  EXPECT_FALSE(Verify());
  EXPECT_FALSE(Update());

  NvmPutHeader(image, 0, 96, 64, kNvmChainEnd, 0);
  EXPECT_TRUE(Verify());
  EXPECT_FALSE(Verify(150)); // the image ends at 160
  EXPECT_FALSE(NvmUpdateChecksums(image.data(), 150));
  EXPECT_FALSE(NvmUpdateChecksums(image.data(), 95));
  EXPECT_FALSE(NvmUpdateChecksums(nullptr, 1024));
  NvmPutHeader(image, 0, 0, 92, kNvmChainEnd, 0); // the image fits in 95 bytes, the header not
  const std::vector<uint8_t> before = image;
  EXPECT_FALSE(NvmUpdateChecksums(image.data(), 95));
  EXPECT_EQ(image, before);

  // No chain reaches 32768 or beyond, even in a buffer that holds it.
  image.resize(kNvmMaxImageSize + kNvmHeaderSize);
  NvmPutHeader(image, kNvmMaxImageSize, 96, 64, kNvmChainEnd, 0);
  NvmPutHeader(image, 0, 96, 64, kNvmMaxImageSize, 0);
  EXPECT_FALSE(Verify());
  EXPECT_EQ(failedHeader, kNvmMaxImageSize);
  EXPECT_FALSE(Update());
}

TEST_F(NvmChainTest, ChainThatComesBackFails) {
  NvmPutHeader(image, 0, 96, 64, 0, 0);
  EXPECT_FALSE(Verify());
  EXPECT_FALSE(Update());

  NvmPutHeader(image, 0, 96, 64, 300, 0);
  NvmPutHeader(image, 300, 400, 64, 0, 0);
  EXPECT_FALSE(Verify());
  EXPECT_EQ(failedHeader, 0u) << "the header the walk came back to";
  EXPECT_STREQ(fault.text,
               "header at 0x0000: a chain that ends expected, one that comes back here found");
  EXPECT_FALSE(Update());
  NvmPutHeader(image, 300, 400, 64, 300, 0);
  EXPECT_FALSE(Verify());
  EXPECT_EQ(failedHeader, 300u);
  EXPECT_FALSE(Update());
}

} // namespace
