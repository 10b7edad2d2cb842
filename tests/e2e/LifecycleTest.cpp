// Start-up without library or adapter, the ways the dialog ends and does not
// end, and the About box.
#include "app/resource.h"
#include "tests/e2e/OstrelSession.h"
#include "tests/e2e/SimCase.h"

#include <gtest/gtest.h>

namespace {
const char kBroadcomOn[] = "family = 2\nparam41 = param41.bin\npowersave = on";
const char kScannedOn[] = "Found a device!\r\nThe power save mode is on!";
const char kNoDevice[] = "Can not find a local device!";

TEST(Lifecycle, WithoutDeviceLibraryFindsNoDeviceAndLeavesRadiosAsMade) {
  SimCase sim;
  // A copy of the program alone in a folder: no Kelvane.dll beside it.
  const std::string exe = sim.Path("Ostrel.exe");
  ASSERT_TRUE(::CopyFileA(SimCase::OstrelExe().c_str(), exe.c_str(), FALSE));
  OstrelSession ostrel(exe, "");
  ASSERT_TRUE(ostrel.Started());
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  EXPECT_EQ(ostrel.Log(), kNoDevice);
  for (int id : {IDC_RADIO_ON, IDC_RADIO_OFF}) {
    EXPECT_FALSE(ostrel.Checked(id));
    EXPECT_TRUE(ostrel.Enabled(id));
  }
  ostrel.Click(IDC_BUTTON_SCAN);
  EXPECT_EQ(ostrel.Log(), kNoDevice);
  ostrel.Click(IDOK);
  EXPECT_EQ(ostrel.Log(), std::string(kNoDevice) + "\r\nDisable device power save fail!");
}

TEST(Lifecycle, NoAdapterAsksOnlyForTheFamily) {
  SimCase sim;
  OstrelSession ostrel(SimCase::OstrelExe(), sim.WriteProfile("family = 0"));
  ASSERT_TRUE(ostrel.Started());
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  EXPECT_EQ(ostrel.Log(), kNoDevice);
  EXPECT_FALSE(ostrel.Checked(IDC_RADIO_ON));
  EXPECT_FALSE(ostrel.Checked(IDC_RADIO_OFF));
  EXPECT_TRUE(ostrel.Enabled(IDC_RADIO_ON));
  EXPECT_EQ(sim.Trace(), std::vector<std::string>{"GetPLCType"});
}

TEST(Lifecycle, CancelEscapeAndCloseCommandEndTheProcessWithExitCodeZero) {
  SimCase sim;
  const std::string profile = sim.WriteProfile("family = 0");
  {
    OstrelSession ostrel(SimCase::OstrelExe(), profile);
    ASSERT_TRUE(ostrel.WaitForFirstScan());
    ostrel.Click(IDCANCEL);
    EXPECT_EQ(ostrel.WaitForExit(), 0);
  }
  {
    OstrelSession ostrel(SimCase::OstrelExe(), profile);
    ASSERT_TRUE(ostrel.WaitForFirstScan());
    ostrel.PostKey(VK_ESCAPE);
    EXPECT_EQ(ostrel.WaitForExit(), 0);
  }
  {
    OstrelSession ostrel(SimCase::OstrelExe(), profile);
    ASSERT_TRUE(ostrel.WaitForFirstScan());
    ostrel.PostSysCommand(SC_CLOSE);
    EXPECT_EQ(ostrel.WaitForExit(), 0);
  }
}

TEST(Lifecycle, OkAndEnterApplyAndKeepTheDialogOpen) {
  SimCase sim;
  OstrelSession ostrel(SimCase::OstrelExe(), sim.WriteProfile(kBroadcomOn));
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  ASSERT_EQ(ostrel.Log(), kScannedOn);
  const std::string once = std::string(kScannedOn) + "\r\nEnable device power save success!";
  ostrel.Click(IDOK);
  EXPECT_EQ(ostrel.Log(), once);
  ostrel.PostKey(VK_RETURN);
  EXPECT_TRUE(ostrel.WaitForLog(once + "\r\nEnable device power save success!"));
  EXPECT_TRUE(ostrel.Visible());
  EXPECT_EQ(ostrel.WaitForExit(500), -1);
}

TEST(Lifecycle, SystemMenuCommandsOpenTheAboutBoxModalToTheDialog) {
  SimCase sim;
  OstrelSession ostrel(SimCase::OstrelExe(), sim.WriteProfile(kBroadcomOn));
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  ostrel.Click(IDC_RADIO_OFF);
  // The low four bits of a system command are the system's own.
  for (WPARAM command : {0x10, 0x1F}) {
    ostrel.PostSysCommand(command);
    HWND about = ostrel.WaitForWindow("About Ostrel");
    ASSERT_NE(about, nullptr) << command;
    EXPECT_EQ(::GetWindow(about, GW_OWNER), ostrel.Dialog());
    EXPECT_FALSE(::IsWindowEnabled(ostrel.Dialog())) << "the main dialog waits for the box";
    EXPECT_EQ(WindowText(::GetNextWindow(::GetDlgItem(about, IDOK), GW_HWNDPREV)),
              "Switches the adapter's power save");
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(::GetDlgItem(about, IDOK), BM_CLICK, 0, 0, SMTO_BLOCK, 30000, &ignored);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(about); }));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(ostrel.Dialog()) != FALSE; }));
  }
  EXPECT_EQ(ostrel.Log(), kScannedOn);
  EXPECT_TRUE(ostrel.Checked(IDC_RADIO_OFF));
  EXPECT_TRUE(ostrel.Visible());
}

TEST(Lifecycle, SecondCopyStartsWhileOneRuns) {
  SimCase sim;
  const std::string profile = sim.WriteProfile("family = 0");
  OstrelSession first(SimCase::OstrelExe(), profile);
  OstrelSession second(SimCase::OstrelExe(), profile);
  ASSERT_TRUE(first.Started());
  ASSERT_TRUE(second.Started());
  EXPECT_NE(first.Dialog(), second.Dialog());
  EXPECT_TRUE(second.WaitForFirstScan());
  EXPECT_EQ(second.Log(), kNoDevice);
}
} // namespace
