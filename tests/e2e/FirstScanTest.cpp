// The first scan runs on a worker thread; with a slow adapter nothing may
// overlap it, and closing during it must end the process cleanly.
#include "app/resource.h"
#include "tests/e2e/OstrelSession.h"
#include "tests/e2e/SimCase.h"

#include <gtest/gtest.h>

namespace {
// The first scan's first call waits at the gate until the test opens it.
const std::string kSlowBroadcom =
    "family = 2\nparam41 = param41.bin\npowersave = on\n" + SimCase::Gate("GetPLCType");

// Polls until the process ends; false when it does not end within
// `timeoutMs` or its dialog shows meanwhile.
bool EndsHidden(OstrelSession& ostrel, DWORD timeoutMs) {
  bool shown = false;
  const bool ended = WaitUntil(
      [&] {
        shown = shown || ostrel.Visible();
        return ostrel.WaitForExit(0) != -1;
      },
      timeoutMs);
  return ended && !shown;
}

// OK, Scan and Enter during it do nothing; a radio click counts once it is
// over.
TEST(FirstScan, OkScanAndEnterDuringItDoNothingAndARadioClickCountsOnceItIsOver) {
  SimCase sim;
  OstrelSession ostrel(SimCase::OstrelExe(),
                       sim.WriteProfile("family = 0\n" + SimCase::Gate("GetPLCType")));
  ASSERT_TRUE(ostrel.Started());
  ASSERT_TRUE(sim.WaitAtGate());
  EXPECT_FALSE(ostrel.Enabled(IDOK));
  EXPECT_FALSE(ostrel.Enabled(IDC_BUTTON_SCAN));
  EXPECT_FALSE(ostrel.Checked(IDC_RADIO_ON));
  EXPECT_FALSE(ostrel.Checked(IDC_RADIO_OFF));
  ostrel.Click(IDOK);
  ostrel.Click(IDC_BUTTON_SCAN);
  ostrel.PostKey(VK_RETURN);
  ostrel.Click(IDC_RADIO_ON);
  EXPECT_FALSE(ostrel.Enabled(IDOK));

  sim.OpenGate();
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  EXPECT_EQ(ostrel.Log(), kNoDevice);
  EXPECT_TRUE(ostrel.Visible());
  EXPECT_EQ(sim.Trace(), (std::vector<std::string>{"GATE GetPLCType", "GetPLCType"}));
  EXPECT_EQ(sim.TraceCount("OVERLAP"), 0u);
  EXPECT_TRUE(ostrel.Checked(IDC_RADIO_ON));
  // "Enable": the click made " On" the choice; no strategy, so nothing is written.
  ostrel.Click(IDOK);
  EXPECT_EQ(ostrel.Log(), std::string(kNoDevice) + "\r\nEnable device power save fail!");
}

// Cancel during it hides the dialog, which ends with exit code 0 when the
// scan is over; a Cancel posted at the start is not undone when the dialog
// first goes idle.
TEST(FirstScan, CancelDuringItEndsTheProcessWithExitCodeZero) {
  for (const bool atStart : {false, true}) {
    SimCase sim;
    OstrelSession ostrel(SimCase::OstrelExe(), sim.WriteProfile(kSlowBroadcom));
    ASSERT_TRUE(ostrel.Started());
    if (atStart) {
      ostrel.PostClick(IDCANCEL);
    } else {
      ASSERT_TRUE(sim.WaitAtGate());
      ASSERT_FALSE(ostrel.Enabled(IDC_BUTTON_SCAN));
      ostrel.Click(IDCANCEL);
      EXPECT_FALSE(ostrel.Visible());
    }
    ASSERT_TRUE(WaitUntil([&] { return !ostrel.Visible(); })) << atStart;
    sim.OpenGate();
    EXPECT_TRUE(EndsHidden(ostrel, 10000)) << atStart;
    EXPECT_EQ(ostrel.WaitForExit(0), 0) << atStart;
    EXPECT_EQ(sim.TraceCount("OVERLAP"), 0u) << atStart;
    EXPECT_EQ(sim.TraceCount("BrcmSetParam"), 0u) << atStart;
  }
}

// A first scan whose read never returns.
TEST(FirstScan, CancelWhileTheLibraryHangsEndsTheProcessWithinSeconds) {
  // clang-format off
  const struct { std::string profile; const char* hung; } cases[] = {
      {QcaProfile(kSimLayouts[1], "hang = GetLocalPIB"), "HANG GetLocalPIB"},
      {"family = 2\nparam41 = param41.bin\nhang = BrcmGetParam", "HANG BrcmGetParam"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SimCase sim;
    OstrelSession ostrel(SimCase::OstrelExe(), sim.WriteProfile(c.profile));
    ASSERT_TRUE(ostrel.Started());
    ASSERT_TRUE(WaitUntil([&] { return sim.TraceCount(c.hung) == 1; })) << c.hung;
    ostrel.Click(IDCANCEL);
    EXPECT_TRUE(EndsHidden(ostrel, 5000)) << c.hung;
    EXPECT_EQ(ostrel.WaitForExit(0), 0) << c.hung;
  }
  // A WM_QUIT ends the dialog's loop at once; the process follows.
  SimCase sim;
  OstrelSession ostrel(SimCase::OstrelExe(), sim.WriteProfile(cases[0].profile));
  ASSERT_TRUE(ostrel.Started());
  ASSERT_TRUE(WaitUntil([&] { return sim.TraceCount(cases[0].hung) == 1; }));
  ::PostMessageA(ostrel.Dialog(), WM_QUIT, 0, 0);
  EXPECT_NE(ostrel.WaitForExit(5000), -1);
}
} // namespace
