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
  g_kelvane = {};
  uint8_t image[kNvmImageBufferSize] = {};
  DeviceRecord record = {};
  BrcmParamReply reply = {};
  BrcmParamRequest request = {};
  EXPECT_EQ(KelvaneGetPLCType(), 0);
  EXPECT_EQ(KelvaneGetLocalDevInfo(record), 0);
  EXPECT_EQ(KelvaneGetLocalPIB(image), 0);
  EXPECT_EQ(KelvaneWriteLocalPIB(image, 100), 0);
  EXPECT_EQ(KelvaneResetLocalDev(), 0);
  EXPECT_EQ(KelvaneBrcmGetParam(reply, 41), 0);
  EXPECT_EQ(KelvaneBrcmSetParam(request), 0);
  EXPECT_FALSE(KelvaneIsBound(&KelvaneEntryPoints::WriteLocalPIB));
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
  g_kelvane = {};
  Bind(g_kelvane.WriteLocalPIB, StdcallWrite);
  Bind(g_kelvane.BrcmGetParam, StdcallGetParam);
  uint8_t image[kNvmImageBufferSize] = {7};
  BrcmParamReply reply = {};
  volatile uint32_t below = 0xA5A5A5A5;
  for (uint32_t i = 0; i < 100000; ++i) {
    ASSERT_EQ(KelvaneWriteLocalPIB(image, i), static_cast<int>(7 + i)) << i;
    ASSERT_EQ(KelvaneBrcmGetParam(reply, static_cast<int>(i & 0x7F)), 1) << i;
    ASSERT_EQ(reply.bytes[0], i & 0x7F) << i;
  }
  EXPECT_EQ(below, 0xA5A5A5A5u);
  g_kelvane = {};
}
#endif

} // namespace
