// The simulated device library, loaded and bound the way the program binds the
// real one, driven through its profile.

#include "devicelib/KelvaneEntryPoints.h"
#include "devicelib/KelvaneLibrary.h"
#include "devicesim/SimFile.h"
#include "powersave/CPowerSaveBCMCMMOp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

class KelvaneSim : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
#ifdef _WIN32
    ASSERT_TRUE(KelvaneLoad()); // Kelvane.dll beside this program
#else
    ASSERT_TRUE(KelvaneLoad(KELVANE_SIM_LIBRARY));
#endif
  }

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = fs::temp_directory_path() / (std::string("ostrel-sim-") + info->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }

  void TearDown() override {
    UsePath("");
    fs::remove_all(m_dir);
  }

  static void UsePath(const std::string& value) {
#ifdef _WIN32
    _putenv_s("KELVANE_SIM", value.c_str());
#else
    if (value.empty())
      unsetenv("KELVANE_SIM");
    else
      setenv("KELVANE_SIM", value.c_str(), 1);
#endif
  }

  void UseProfile(const std::string& text) {
    const fs::path profile = m_dir / "adapter.profile";
    std::ofstream(profile) << text;
    UsePath(profile.string());
  }

  std::string Read(const std::string& name) const {
    std::ifstream in(m_dir / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path m_dir;
};

TEST_F(KelvaneSim, ExportsTheSevenCalledEntryPoints) {
  EXPECT_NE(g_kelvane.GetPLCType, nullptr);
  EXPECT_NE(g_kelvane.GetLocalDevInfo, nullptr);
  EXPECT_NE(g_kelvane.GetLocalPIB, nullptr);
  EXPECT_NE(g_kelvane.WriteLocalPIB, nullptr);
  EXPECT_NE(g_kelvane.ResetLocalDev, nullptr);
  EXPECT_NE(g_kelvane.BrcmGetParam, nullptr);
  EXPECT_NE(g_kelvane.BrcmSetParam, nullptr);
  EXPECT_EQ(g_kelvane.SetQosData, nullptr);
  EXPECT_TRUE(KelvaneLoad()); // a second load finds the library loaded
}

TEST_F(KelvaneSim, BuiltInAdapterIsA7420WithFirmware11) {
  UsePath("");
  EXPECT_EQ(g_kelvane.GetPLCType() & 0xFF, 1);
  unsigned char record[kDeviceRecordSize];
  ASSERT_NE(g_kelvane.GetLocalDevInfo(record), 0);
  const std::string firmware(reinterpret_cast<const char*>(record + kDeviceRecordFirmwareOffset));
  EXPECT_NE(firmware.find("7420"), std::string::npos);
  EXPECT_NE(firmware.find("1.1."), std::string::npos);
}

TEST_F(KelvaneSim, ProfileIsReadAfreshAtEveryDetection) {
  UseProfile("family = 2\n");
  EXPECT_EQ(g_kelvane.GetPLCType(), 2);
  UseProfile("family = 0\n");
  EXPECT_EQ(g_kelvane.GetPLCType(), 0);
}

TEST_F(KelvaneSim, UnusableProfileMeansNoAdapter) {
  UseProfile("family = 2\nthis is not a setting\n");
  EXPECT_EQ(g_kelvane.GetPLCType(), 0);
  unsigned char reply[1500];
  EXPECT_EQ(g_kelvane.BrcmGetParam(reply, 41), 0);
  UsePath((m_dir / "missing.profile").string());
  EXPECT_EQ(g_kelvane.GetPLCType(), 0);
}

TEST_F(KelvaneSim, BroadcomParameterIsSwitchedInItsFileAndTraced) {
  UseProfile("family = 2\nparam41 = p41.bin\npowersave = on\ntrace = trace.log\n");
  ASSERT_EQ(g_kelvane.GetPLCType(), 2);
  CPowerSaveBCMCMMOp op;
  EXPECT_EQ(op.GetPowerSave(), 1);
  ASSERT_TRUE(op.SetPowerSave(0));
  EXPECT_EQ(op.GetPowerSave(), 0);

  // Bit 15 alone changed: the lead byte, bit 0 and the second element survive.
  const std::string stored = Read("p41.bin");
  EXPECT_EQ(stored, std::string("\x01\x02\x02\x00\x01\x00\x34\x12", 8));
  EXPECT_EQ(Read("trace.log"), "GetPLCType\nBrcmGetParam 41\nBrcmGetParam 41\nBrcmSetParam\n"
                               "BrcmGetParam 41\n");
}

TEST_F(KelvaneSim, FailingEntryPointsChangeNothing) {
  UseProfile("family = 2\nparam41 = p41.bin\nfail = BrcmSetParam\n");
  ASSERT_EQ(g_kelvane.GetPLCType(), 2);
  CPowerSaveBCMCMMOp op;
  ASSERT_EQ(op.GetPowerSave(), 0);
  const std::string before = Read("p41.bin");
  EXPECT_FALSE(op.SetPowerSave(1));
  EXPECT_EQ(Read("p41.bin"), before);

  UseProfile("family = 2\nfail = GetPLCType\n");
  EXPECT_EQ(g_kelvane.GetPLCType(), 0);
}

TEST_F(KelvaneSim, RecordsCallsThatOverlap) {
  UseProfile("family = 2\ndelay_ms = 300\ntrace = trace.log\n");
  ASSERT_EQ(g_kelvane.GetPLCType(), 2);
  std::thread slow([] { g_kelvane.GetPLCType(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  unsigned char reply[1500];
  g_kelvane.BrcmGetParam(reply, 41);
  slow.join();
  const std::string trace = Read("trace.log");
  EXPECT_NE(trace.find("OVERLAP BrcmGetParam\n"), std::string::npos) << trace;

  // Calls one after another are not overlaps.
  UseProfile("family = 2\ntrace = serial.log\n");
  g_kelvane.GetPLCType();
  g_kelvane.BrcmGetParam(reply, 41);
  EXPECT_EQ(Read("serial.log"), "GetPLCType\nBrcmGetParam 41\n");
}

TEST_F(KelvaneSim, FilesAreReplacedWhole) {
  const std::string path = (m_dir / "state.bin").string();
  ASSERT_TRUE(SimReplaceFile(path, {1, 2, 3, 4}));
  ASSERT_TRUE(SimReplaceFile(path, {9}));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(SimReadFile(path, bytes));
  EXPECT_EQ(bytes, std::vector<uint8_t>{9});
  EXPECT_FALSE(SimFileExists(path + ".tmp"));
}

} // namespace
