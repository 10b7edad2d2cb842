#include "devicelib/BrcmParam.h"
#include "powersave/CPowerSaveBCMCMMOp.h"
#include "powersave/PowerSaveCopy.h"

#include "FakeDeviceLibrary.h"
#include "RecordingWatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>

namespace {

// A reply of `size` × `count` data bytes, with bytes past the data that must
// never reach the request.
std::vector<uint8_t> Reply(uint8_t lead, uint8_t size, uint16_t count,
                           const std::vector<uint8_t>& data) {
  std::vector<uint8_t> reply(4 + data.size() + 16, 0xEE);
  reply[0] = lead;
  reply[1] = size;
  reply[2] = static_cast<uint8_t>(count);
  reply[3] = static_cast<uint8_t>(count >> 8);
  std::copy(data.begin(), data.end(), reply.begin() + 4);
  return reply;
}

// The request that sends what a watch was shown as sent.
std::vector<uint8_t> AsRequest(const std::vector<uint8_t>& sent) {
  BrcmParamReply reply = {};
  BrcmParamRequest request = {};
  if (sent.size() != BrcmParamReply::kSize)
    return {};
  std::copy(sent.begin(), sent.end(), reply.bytes);
  if (!BrcmRequestFromReply(reply, kBrcmPowerSaveParam, request))
    return {};
  return std::vector<uint8_t>(request.bytes, request.bytes + BrcmParamRequest::kSize);
}

// A fresh adapter and strategy for each test.
struct BrcmPowerSave : ::testing::Test {
  FakeDeviceLibrary fake;
  CPowerSaveBCMCMMOp op{fake.Device()};
};

// The switch is bit 15 of the first data word; a parameter with no data, or
// with more than the reply holds, or one not read at all is unavailable.
TEST_F(BrcmPowerSave, ReadsBit15OfTheFirstDataWord) {
  const struct {
    std::vector<uint8_t> param;
    int state;
  } cases[] = {
      {Reply(0x07, 2, 1, {0x01, 0x80}), 1}, {Reply(0x07, 2, 1, {0xFF, 0x7F}), 0},
      {Reply(0, 2, 0, {0xFF, 0xFF}), 2},    {Reply(0, 8, 188, {0x00, 0x80}), 2}, // 1504 bytes
      {Reply(0, 8, 187, {0x00, 0x80}), 1}, // 1496 bytes: fills the record exactly
  };
  for (const auto& c : cases) {
    fake.param = c.param;
    fake.calls.clear();
    EXPECT_EQ(op.GetPowerSave(), c.state) << &c - cases;
    EXPECT_EQ(fake.CallsText(), "BrcmGetParam 41");
  }
  fake.getParamResult = 0;
  EXPECT_EQ(op.GetPowerSave(), 2);
  fake.getParamResult = 1;
  fake.Unbind("BrcmGetParam");
  EXPECT_EQ(op.GetPowerSave(), 2);
}

TEST_F(BrcmPowerSave, DisableClearsBit15AloneAndSendsTheParameterBack) {
  fake.param = Reply(0xA5, 2, 3, {0x01, 0x80, 0x22, 0x33, 0x44, 0x55});
  ASSERT_TRUE(op.SetPowerSave(0));
  EXPECT_EQ(fake.CallsText(), "BrcmGetParam 41, BrcmSetParam");

  const std::vector<uint8_t> expectedHead = {0xA5, 0x29, 0x00, 2,    3,    0,
                                             0x01, 0x00, 0x22, 0x33, 0x44, 0x55};
  ASSERT_EQ(fake.request.size(), BrcmParamRequest::kSize);
  EXPECT_EQ(std::vector<uint8_t>(fake.request.begin(), fake.request.begin() + 12), expectedHead);
  // Exactly size × count data bytes go out; the rest of the request stays zero.
  EXPECT_EQ(std::accumulate(fake.request.begin() + 12, fake.request.end(), 0), 0);
}

TEST_F(BrcmPowerSave, EnableSetsBit15AndKeepsTheOtherBits) {
  fake.param = Reply(0, 2, 1, {0x5A, 0x3C});
  ASSERT_TRUE(op.SetPowerSave(1));
  EXPECT_EQ(fake.request[6], 0x5A);
  EXPECT_EQ(fake.request[7], 0xBC);
}

// A watch is shown the parameter as fetched, before the switch is flipped,
// and told just before it is sent back; a copy's state reads as the adapter's.
TEST_F(BrcmPowerSave, AWatchSeesTheParameterAsFetchedJustBeforeTheWrite) {
  static RecordingWatch watch;
  op.Watch(&watch);
  fake.param = Reply(0x07, 2, 1, {0x01, 0x80});
  ASSERT_TRUE(op.SetPowerSave(0));
  EXPECT_EQ(watch.told, 1);
  EXPECT_EQ(watch.callsBeforeWrite, "BrcmGetParam 41");
  EXPECT_EQ(AsRequest(watch.sent), fake.request);
  EXPECT_EQ(watch.before.kind, BackupKind::Param41);
  ASSERT_EQ(watch.before.size, BrcmParamReply::kSize);
  EXPECT_TRUE(std::equal(fake.param.begin(), fake.param.end(), watch.before.bytes));
  EXPECT_EQ(op.CopyState(watch.before), 1);
  // A restore shows what it writes over: the parameter as it is now, off.
  static PowerSaveCopy on;
  on = watch.before;
  fake.param = Reply(0x07, 2, 1, {0x01, 0x00});
  uint32_t written = 0;
  PowerSaveError error;
  ASSERT_TRUE(op.RestoreCopy(on, "", false, written, error)) << error.text;
  EXPECT_EQ(watch.told, 2);
  EXPECT_EQ(AsRequest(watch.sent), fake.request);
  EXPECT_EQ(fake.request[7], 0x80);
  EXPECT_EQ(op.CopyState(watch.before), 0);
  watch.before.size = 8;
  EXPECT_EQ(op.CopyState(watch.before), 2);
}

TEST_F(BrcmPowerSave, ParameterNumberIsAlways41) {
  // A reply whose bytes could be mistaken for a parameter number.
  fake.param = Reply(0xFF, 0xFF, 1, std::vector<uint8_t>(255, 0xFF));
  ASSERT_TRUE(op.SetPowerSave(0));
  EXPECT_EQ(fake.request[1], 0x29);
  EXPECT_EQ(fake.request[2], 0x00);
  EXPECT_EQ(fake.request[3], 0xFF);
  EXPECT_EQ(fake.request[6 + 1], 0x7F);
}

// The switch bit is bit 15 of the first data word: fewer than 2 data bytes
// have none, so such a parameter reads as unavailable and is never sent.
TEST_F(BrcmPowerSave, ParameterWithoutAFirstDataWordHasNoSwitch) {
  const struct {
    uint8_t size;
    uint16_t count;
    bool hasSwitch;
  } cases[] = {{2, 0, false}, {1, 1, false}, {0, 3, false}, {1, 2, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + " x " + std::to_string(c.count));
    fake.request.clear();
    fake.param = Reply(0x11, c.size, c.count, {0xFF, 0xFF});
    EXPECT_EQ(op.GetPowerSave(), c.hasSwitch ? 1 : 2);
    EXPECT_EQ(op.SetPowerSave(0), c.hasSwitch);
    EXPECT_EQ(fake.request.empty(), !c.hasSwitch);
  }
}

TEST_F(BrcmPowerSave, DataIsWrittenWholeOnlyWhenItFitsTheRequest) {
  fake.param = Reply(0, 1, 1493, std::vector<uint8_t>(1493, 0x42));
  EXPECT_FALSE(op.SetPowerSave(1));
  EXPECT_EQ(fake.CallsText(), "BrcmGetParam 41");
  fake.param = Reply(0, 4, 373, std::vector<uint8_t>(1492, 0x42)); // fills the request
  ASSERT_TRUE(op.SetPowerSave(1));
  EXPECT_EQ(fake.request[4], 0x75);
  EXPECT_EQ(fake.request[5], 0x01);
  EXPECT_EQ(fake.request[BrcmParamRequest::kSize - 1], 0x42);
}

TEST_F(BrcmPowerSave, FailuresStopBeforeTheWrite) {
  fake.param = Reply(0, 2, 1, {0, 0});

  EXPECT_FALSE(op.SetPowerSave(2));
  EXPECT_TRUE(fake.calls.empty());

  fake.getParamResult = 0;
  EXPECT_FALSE(op.SetPowerSave(1));
  EXPECT_EQ(fake.CallsText(), "BrcmGetParam 41");

  fake.getParamResult = 1;
  fake.setParamResult = 0;
  EXPECT_FALSE(op.SetPowerSave(1));

  fake.setParamResult = 1;
  fake.Unbind("BrcmSetParam");
  EXPECT_FALSE(op.SetPowerSave(1));
}

TEST_F(BrcmPowerSave, ACopyIsSavedOnlyWithDataAndRestoredOnlyOntoTheSameShape) {
  PowerSaveCopy copy;
  PowerSaveError error;
  // A refused copy still holds the reply as fetched, unless none was; each is
  // saved over an image's copy, whose layout and address it clears.
  const struct {
    std::vector<uint8_t> present;
    int handedOver;
    const char* says; // null: saved
  } saves[] = {
      {Reply(0x11, 2, 0, {}), 1, "the adapter's parameter 41 holds no data"},
      // Restore could never send it whole.
      {Reply(0x11, 1, 1493, {}), 1,
       "the adapter's parameter 41 holds 1493 bytes of data, more than the 1492 a write can carry"},
      {Reply(0x11, 2, 1, {0, 0}), 0, "the adapter did not hand over parameter 41"},
      {Reply(0x11, 2, 2, {0x01, 0x80, 0x34, 0x12}), 1, nullptr}, // kept for the restores below
  };
  for (const auto& u : saves) {
    SCOPED_TRACE(u.says != nullptr ? u.says : "saved");
    fake.param = u.present;
    fake.getParamResult = u.handedOver;
    std::snprintf(copy.layout, sizeof copy.layout, "7500");
    std::fill(std::begin(copy.address), std::end(copy.address), 0xAA);
    EXPECT_EQ(op.SaveCopy(copy, error), u.says == nullptr) << error.text;
    if (u.says != nullptr) {
      EXPECT_STREQ(error.text, u.says);
    }
    if (u.handedOver == 0) {
      EXPECT_EQ(copy.size, 0u);
      continue;
    }
    ASSERT_EQ(copy.size, BrcmParamReply::kSize);
    EXPECT_EQ(copy.kind, BackupKind::Param41);
    EXPECT_EQ(copy.Layout(), "");
    EXPECT_TRUE(std::equal(u.present.begin(), u.present.end(), copy.bytes));
    EXPECT_EQ(std::count(std::begin(copy.address), std::end(copy.address), 0), kPibAddressSize);
  }

  const struct {
    std::vector<uint8_t> present;
    std::vector<uint8_t> copyHead; // replaces the copy's first bytes when not empty
    const char* says;
  } refusals[] = {
      // clang-format off
      {Reply(0x12, 2, 2, {0, 0, 0, 0}), {}, "leading byte is 17, the adapter's parameter 41 has 18"},
      {Reply(0x11, 4, 1, {0, 0, 0, 0}), {}, "element size is 2, the adapter's parameter 41 has 4"},
      {Reply(0x11, 2, 3, {0, 0, 0, 0, 0, 0}), {}, "element count is 2, the adapter's parameter 41 has 3"},
      // clang-format on
      // Four zero bytes: a parameter of no data.
      {Reply(0, 0, 0, {}), {0, 0, 0, 0}, "holds 0 bytes of data"},
      // Refused before the adapter is asked, though its parameter has that shape.
      {Reply(0x11, 1, 1493, {}), {0x11, 1, 0xD5, 0x05}, "holds 1493 bytes of data; it must hold"},
  };
  for (const auto& r : refusals) {
    PowerSaveCopy bad = copy;
    std::copy(r.copyHead.begin(), r.copyHead.end(), bad.bytes);
    fake.param = r.present;
    uint32_t written = 0;
    EXPECT_FALSE(op.RestoreCopy(bad, "", false, written, error)) << r.says;
    EXPECT_NE(std::string(error.text).find(r.says), std::string::npos) << error.text;
  }
  // Taken under other firmware: refused whatever its shape.
  fake.param = Reply(0x11, 2, 2, {0, 0, 0, 0});
  uint32_t none = 0;
  EXPECT_FALSE(op.RestoreCopy(copy, "FW-2", false, none, error));
  EXPECT_NE(std::string(error.text).find("taken under the firmware"), std::string::npos);
  EXPECT_TRUE(fake.request.empty());

  fake.param = Reply(0x11, 2, 2, {0x00, 0x00, 0x34, 0x12});
  uint32_t written = 0;
  ASSERT_TRUE(op.RestoreCopy(copy, "", true, written, error)) << error.text;
  EXPECT_EQ(written, 8u);
  EXPECT_EQ(fake.request[6], 0x01);
  EXPECT_EQ(fake.request[7], 0x80);
  // The least and the most data a write carries are saved and go back whole.
  for (const uint16_t length : {1, 1492}) {
    fake.param = Reply(0x11, 1, length, std::vector<uint8_t>(length, 0x42));
    ASSERT_TRUE(op.SaveCopy(copy, error)) << length << ": " << error.text;
    ASSERT_TRUE(op.RestoreCopy(copy, "", false, written, error)) << length << ": " << error.text;
    EXPECT_EQ(written, 4u + length);
  }
}

// Restore sends the copy's data whole, so unless forced it must be the
// adapter's but for the switch: bit 7 of the second data byte, no other.
TEST(BrcmPowerSaveRestore, RefusesDataThatDiffersBeyondTheSwitchUnlessForced) {
  const std::vector<uint8_t> saved = {0x01, 0x80, 0x34, 0x12, 0x56, 0x78};
  const struct {
    std::vector<uint8_t> present;
    bool force;
    const char* says; // after "at data byte "; null: restored
  } cases[] = {
      {{0x01, 0x00, 0x34, 0x12, 0x56, 0x78}, false, nullptr},
      {{0x81, 0x80, 0x34, 0x12, 0x56, 0x78}, false, "0: 0x01 in the copy, 0x81 on the adapter"},
      {{0x01, 0x81, 0x34, 0x12, 0x56, 0x78}, false, "1: 0x80 in the copy, 0x81 on the adapter"},
      {{0x01, 0x80, 0x34, 0x12, 0x56, 0x79}, false, "5: 0x78 in the copy, 0x79 on the adapter"},
      {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, true, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says != nullptr ? c.says : c.force ? "forced" : "the switch alone");
    FakeDeviceLibrary fake;
    CPowerSaveBCMCMMOp op(fake.Device());
    const auto watch = std::make_unique<RecordingWatch>();
    op.Watch(watch.get());
    const auto copy = std::make_unique<PowerSaveCopy>();
    PowerSaveError error;
    fake.param = Reply(0x11, 2, 3, saved);
    ASSERT_TRUE(op.SaveCopy(*copy, error)) << error.text;
    fake.param = Reply(0x11, 2, 3, c.present);
    fake.calls.clear();
    uint32_t written = 0;
    const bool restored = op.RestoreCopy(*copy, "", c.force, written, error);
    if (c.says == nullptr) {
      EXPECT_TRUE(restored) << error.text;
      ASSERT_EQ(fake.request.size(), BrcmParamRequest::kSize);
      EXPECT_EQ(std::vector<uint8_t>(fake.request.begin() + 6, fake.request.begin() + 12), saved);
      EXPECT_EQ(watch->told, 1);
      continue;
    }
    EXPECT_FALSE(restored);
    EXPECT_EQ(std::string(error.text),
              std::string("the copy's parameter 41 differs from the adapter's beyond the "
                          "power-save switch, at data byte ") +
                  c.says);
    EXPECT_EQ(fake.CallsText(), "BrcmGetParam 41");
    EXPECT_EQ(watch->told, 0);
  }
}

// A reply's content ends with its data; an image's is all of it.
TEST(PowerSaveContentSize, AReplyEndsWithItsDataAnImageNever) {
  std::vector<uint8_t> reply = Reply(0x11, 2, 3, {1, 2, 3, 4, 5, 6});
  reply.resize(BrcmParamReply::kSize, 0xEE);
  const struct {
    BackupKind kind;
    uint32_t size;
    uint32_t content;
  } cases[] = {
      {BackupKind::Param41, BrcmParamReply::kSize, 10},
      {BackupKind::NvmImage, BrcmParamReply::kSize, BrcmParamReply::kSize},
      {BackupKind::Param41, 7, 7}, // the data runs past what there is
      {BackupKind::Param41, 3, 3}, // too short to say where the data ends
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(BackupKindName(c.kind)) + " of " + std::to_string(c.size));
    EXPECT_EQ(PowerSaveContentSize(c.kind, reply.data(), c.size), c.content);
  }
}

} // namespace
