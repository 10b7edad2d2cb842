#include "devicelib/KelvaneCalls.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The library fills and reads records of exactly these sizes, and a Broadcom
// backup file holds a whole reply: none may change with our own constants.
TEST(KelvaneCalls, RecordsKeepTheLibrarysSizes) {
  EXPECT_EQ(sizeof(DeviceRecord), 268u);
  EXPECT_EQ(DeviceRecord::kFirmwareOffset, 105u);
  EXPECT_EQ(sizeof(BrcmParamReply), 1500u);
  EXPECT_EQ(sizeof(BrcmParamRequest), 1498u);
}

TEST(KelvaneCalls, AnUnboundEntryPointReadsAsACallThatReturnedZero) {
  const KelvaneEntryPoints table = {};
  KelvaneCalls calls(table);
  uint8_t image[kNvmImageBufferSize] = {};
  DeviceRecord record = {};
  BrcmParamReply reply = {};
  BrcmParamRequest request = {};
  EXPECT_EQ(calls.GetPLCType(), 0);
  EXPECT_EQ(calls.GetLocalDevInfo(record), 0);
  EXPECT_EQ(calls.GetLocalPIB(image), 0);
  EXPECT_EQ(calls.WriteLocalPIB(image, 100), 0);
  EXPECT_EQ(calls.ResetLocalDev(), 0);
  EXPECT_EQ(calls.BrcmGetParam(reply, 41), 0);
  EXPECT_EQ(calls.BrcmSetParam(request), 0);
  EXPECT_FALSE(calls.CanWriteImage());
}

#if defined(_WIN32) && defined(__i386__)
// Entry points that remove their own arguments, as a __stdcall build of the
// library has them.
int __stdcall StdcallWrite(unsigned char* image, uint32_t length, int mode) {
  return image[0] + static_cast<int>(length) * mode;
}
int __stdcall StdcallGetParam(unsigned char* reply, int param) {
  reply[0] = static_cast<unsigned char>(param);
  return 1;
}

template <typename Slot, typename Function> void Bind(Slot& slot, Function function) {
  std::memcpy(&slot, &function, sizeof slot);
}

TEST(KelvaneCalls, StdcallEntryPointsReturnToASoundStack) {
  KelvaneEntryPoints table = {};
  Bind(table.WriteLocalPIB, StdcallWrite);
  Bind(table.BrcmGetParam, StdcallGetParam);
  KelvaneCalls calls(table);
  uint8_t image[kNvmImageBufferSize] = {7};
  BrcmParamReply reply = {};
  volatile uint32_t below = 0xA5A5A5A5;
  for (uint32_t i = 0; i < 100000; ++i) {
    ASSERT_EQ(calls.WriteLocalPIB(image, i), static_cast<int>(7 + i)) << i;
    ASSERT_EQ(calls.BrcmGetParam(reply, static_cast<int>(i & 0x7F)), 1) << i;
    ASSERT_EQ(reply.bytes[0], i & 0x7F) << i;
  }
  EXPECT_EQ(below, 0xA5A5A5A5u);
}
#endif

} // namespace
