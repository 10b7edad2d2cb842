#include "devicelib/BrcmParam.h"
#include "powersave/CPowerSaveBCMCMMOp.h"
#include "powersave/PowerSaveCopy.h"

#include "FakeDeviceLibrary.h"
#include "RecordingWatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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

TEST(BrcmPowerSave, ReadsBit15OfTheFirstDataWord) {
  FakeDeviceLibrary fake;
  CPowerSaveBCMCMMOp op;
  fake.param = Reply(0x07, 2, 1, {0x01, 0x80});
  EXPECT_EQ(op.GetPowerSave(), 1);
  fake.param = Reply(0x07, 2, 1, {0xFF, 0x7F});
  EXPECT_EQ(op.GetPowerSave(), 0);
  EXPECT_EQ(fake.CallsText(), "BrcmGetParam 41, BrcmGetParam 41");
}

TEST(BrcmPowerSave, UnreadableOrEmptyParameterIsUnavailable) {
  FakeDeviceLibrary fake;
  CPowerSaveBCMCMMOp op;
  fake.param = Reply(0, 2, 0, {0xFF, 0xFF});
  EXPECT_EQ(op.GetPowerSave(), 2);
  fake.param = Reply(0, 2, 1, {0x00, 0x80});
  fake.getParamResult = 0;
  EXPECT_EQ(op.GetPowerSave(), 2);
  fake.getParamResult = 1;
  fake.Unbind("BrcmGetParam");
  EXPECT_EQ(op.GetPowerSave(), 2);
}

TEST(BrcmPowerSave, DataLongerThanTheReplyIsUnavailable) {
  FakeDeviceLibrary fake;
  CPowerSaveBCMCMMOp op;
  fake.param = Reply(0, 8, 188, {0x00, 0x80}); // 1504 bytes
  EXPECT_EQ(op.GetPowerSave(), 2);
  fake.param = Reply(0, 8, 187, {0x00, 0x80}); // 1496 bytes: fills the record exactly
  EXPECT_EQ(op.GetPowerSave(), 1);
}

TEST(BrcmPowerSave, DisableClearsBit15AloneAndSendsTheParameterBack) {
  FakeDeviceLibrary fake;
  CPowerSaveBCMCMMOp op;
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

TEST(BrcmPowerSave, EnableSetsBit15AndKeepsTheOtherBits) {
  FakeDeviceLibrary fake;
  CPowerSaveBCMCMMOp op;
  fake.param = Reply(0, 2, 1, {0x5A, 0x3C});
  ASSERT_TRUE(op.SetPowerSave(1));
  EXPECT_EQ(fake.request[6], 0x5A);
  EXPECT_EQ(fake.request[7], 0xBC);
}

// A watch is shown the parameter as fetched, before the switch is flipped,
// and told just before it is sent back; a copy's state reads as the adapter's.
TEST(BrcmPowerSave, AWatchSeesTheParameterAsFetchedJustBeforeTheWrite) {
  FakeDeviceLibrary fake;
  CPowerSaveBCMCMMOp op;
  static RecordingWatch watch;
  op.Watch(&watch);
  fake.param = Reply(0x07, 2, 1, {0x01, 0x80});
  ASSERT_TRUE(op.SetPowerSave(0));
  EXPECT_EQ(watch.told, 1);
  EXPECT_EQ(watch.callsBeforeWrite, "BrcmGetParam 41");
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
  EXPECT_EQ(op.CopyState(watch.before), 0);
  watch.before.size = 8;
  EXPECT_EQ(op.CopyState(watch.before), 2);
}

TEST(BrcmPowerSave, ParameterNumberIsAlways41) {
  FakeDeviceLibrary fake;
  CPowerSaveBCMCMMOp op;
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
TEST(BrcmPowerSave, ParameterWithoutAFirstDataWordHasNoSwitch) {
  const struct {
    uint8_t size;
    uint16_t count;
    bool hasSwitch;
  } cases[] = {{2, 0, false}, {1, 1, false}, {0, 3, false}, {1, 2, true}};
  for (const auto& c : cases) {
    FakeDeviceLibrary fake;
    CPowerSaveBCMCMMOp op;
    SCOPED_TRACE(std::to_string(c.size) + " x " + std::to_string(c.count));
    fake.param = Reply(0x11, c.size, c.count, {0xFF, 0xFF});
    EXPECT_EQ(op.GetPowerSave(), c.hasSwitch ? 1 : 2);
    EXPECT_EQ(op.SetPowerSave(0), c.hasSwitch);
    EXPECT_EQ(fake.request.empty(), !c.hasSwitch);
  }
}

TEST(BrcmPowerSave, DataThatFillsTheRequestIsSentWhole) {
  FakeDeviceLibrary fake;
  CPowerSaveBCMCMMOp op;
  std::vector<uint8_t> data(1492, 0x42);
  fake.param = Reply(0, 4, 373, data);
  ASSERT_TRUE(op.SetPowerSave(1));
  EXPECT_EQ(fake.request[4], 0x75);
  EXPECT_EQ(fake.request[5], 0x01);
  EXPECT_EQ(fake.request[BrcmParamRequest::kSize - 1], 0x42);
}

TEST(BrcmPowerSave, DataThatDoesNotFitTheRequestIsNotWritten) {
  FakeDeviceLibrary fake;
  CPowerSaveBCMCMMOp op;
  fake.param = Reply(0, 1, 1493, std::vector<uint8_t>(1493, 0x42));
  EXPECT_FALSE(op.SetPowerSave(1));
  EXPECT_EQ(fake.CallsText(), "BrcmGetParam 41");
}

TEST(BrcmPowerSave, FailuresStopBeforeTheWrite) {
  FakeDeviceLibrary fake;
  CPowerSaveBCMCMMOp op;
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

TEST(BrcmPowerSave, ACopyIsSavedOnlyWithDataAndRestoredOnlyOntoTheSameShape) {
  FakeDeviceLibrary fake;
  CPowerSaveBCMCMMOp op;
  PowerSaveCopy copy;
  PowerSaveError error;
  const struct {
    std::vector<uint8_t> present;
    const char* says;
  } unsaved[] = {
      {Reply(0x11, 2, 0, {}), "the adapter's parameter 41 holds no data"},
      // Restore could never send it whole.
      {Reply(0x11, 1, 1493, {}),
       "the adapter's parameter 41 holds 1493 bytes of data, more than the 1492 a write can carry"},
  };
  for (const auto& u : unsaved) {
    fake.param = u.present;
    EXPECT_FALSE(op.SaveCopy(copy, error)) << u.says;
    EXPECT_STREQ(error.text, u.says);
  }

  fake.param = Reply(0x11, 2, 2, {0x01, 0x80, 0x34, 0x12});
  // Over an image's copy, saved before.
  std::snprintf(copy.layout, sizeof copy.layout, "7500");
  std::fill(std::begin(copy.address), std::end(copy.address), 0xAA);
  ASSERT_TRUE(op.SaveCopy(copy, error)) << error.text;
  ASSERT_EQ(copy.size, BrcmParamReply::kSize);
  EXPECT_EQ(copy.kind, BackupKind::Param41);
  EXPECT_EQ(copy.Layout(), "");
  EXPECT_EQ(std::vector<uint8_t>(copy.address, copy.address + kPibAddressSize),
            std::vector<uint8_t>(kPibAddressSize, 0));

  const struct {
    std::vector<uint8_t> present;
    std::vector<uint8_t> copyHead; // replaces the copy's first bytes when not empty
    const char* says;
  } refusals[] = {
      {Reply(0x12, 2, 2, {0, 0, 0, 0}),
       {},
       "leading byte is 17, the adapter's parameter 41 has 18"},
      {Reply(0x11, 4, 1, {0, 0, 0, 0}), {}, "element size is 2, the adapter's parameter 41 has 4"},
      {Reply(0x11, 2, 3, {0, 0, 0, 0, 0, 0}),
       {},
       "element count is 2, the adapter's parameter 41 has 3"},
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
  ASSERT_TRUE(op.RestoreCopy(copy, "", false, written, error)) << error.text;
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

} // namespace
