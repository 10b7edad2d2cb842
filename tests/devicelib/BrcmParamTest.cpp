#include "devicelib/BrcmParam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

struct Shape {
  uint8_t size;
  uint16_t count;
  bool fits; // the data fits the request
};

// A record of `Record`'s layout: leading byte, shape, numbered data, and
// bytes past the data that must never be copied.
template <typename Record> Record Filled(const Shape& s) {
  Record record;
  std::fill(std::begin(record.bytes), std::end(record.bytes), 0xEE);
  record.bytes[Record::kLeadOffset] = 0xA5;
  record.bytes[Record::kElementSizeOffset] = s.size;
  record.bytes[Record::kElementCountOffset] = static_cast<uint8_t>(s.count);
  record.bytes[Record::kElementCountOffset + 1] = static_cast<uint8_t>(s.count >> 8);
  for (std::size_t i = Record::kDataOffset; i < Record::kSize; ++i)
    record.bytes[i] = static_cast<uint8_t>(i * 7);
  return record;
}

bool AllZero(const unsigned char* first, const unsigned char* last) {
  return std::all_of(first, last, [](unsigned char b) { return b == 0; });
}

class BrcmParamMapping : public ::testing::TestWithParam<Shape> {};

// The request is the reply with the parameter number inserted after the
// leading byte, so a reply goes there and back unchanged up to its data's end.
TEST_P(BrcmParamMapping, ReplyToRequestAndBack) {
  const Shape s = GetParam();
  const BrcmParamReply reply = Filled<BrcmParamReply>(s);
  BrcmParamRequest request = {};
  ASSERT_EQ(BrcmRequestFromReply(reply, kBrcmPowerSaveParam, request), s.fits);
  if (!s.fits) {
    EXPECT_TRUE(AllZero(std::begin(request.bytes), std::end(request.bytes)));
    BrcmParamReply untouched = {};
    EXPECT_FALSE(BrcmReplyFromRequest(Filled<BrcmParamRequest>(s), untouched));
    EXPECT_EQ(untouched.Lead(), 0);
    return;
  }
  EXPECT_EQ(request.Param(), 41);
  EXPECT_EQ(request.bytes[1], 0x29);
  EXPECT_EQ(request.bytes[2], 0x00);
  const std::size_t length = reply.DataLength();
  // Past the data the request stays as it was.
  EXPECT_TRUE(
      AllZero(request.bytes + BrcmParamRequest::kDataOffset + length, std::end(request.bytes)));

  BrcmParamReply back = {};
  ASSERT_TRUE(BrcmReplyFromRequest(request, back));
  const std::size_t end = BrcmParamReply::kDataOffset + length;
  EXPECT_TRUE(std::equal(reply.bytes, reply.bytes + end, back.bytes));
  EXPECT_TRUE(AllZero(back.bytes + end, std::end(back.bytes)));
}

INSTANTIATE_TEST_SUITE_P(Shapes, BrcmParamMapping,
                         ::testing::Values(Shape{2, 3, true}, Shape{0, 0, true},
                                           Shape{4, 373, true},   // 1492: fills the request
                                           Shape{1, 1493, false}, // one byte too many
                                           Shape{255, 0xFFFF, false}),
                         [](const auto& info) {
                           return std::to_string(info.param.size) + "x" +
                                  std::to_string(info.param.count);
                         });

} // namespace
