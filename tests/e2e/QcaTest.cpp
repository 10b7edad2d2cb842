// Qualcomm Atheros adapters: the NVM image in the image file, checked
// afterwards with pibtool through the same image code.
#include "app/resource.h"
#include "tests/e2e/OstrelSession.h"
#include "tests/e2e/SimCase.h"

#include <gtest/gtest.h>

namespace {
// A layout whose write is followed by a reset. Each layout and how the other
// build's entry points are called are the same code in both programs, which
// OstrelctlQca runs.
TEST(Qca, ReadsOffThenSwitchesOnAndOffAgain) {
  SimCase sim;
  const SimLayout& layout = kSimLayouts[1];
  OstrelSession ostrel(SimCase::OstrelExe(),
                       sim.WriteProfile(QcaProfile(layout, "powersave = off")));
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  ExpectSwitchOverAndBack(ostrel, false,
                          [&](bool on) { ExpectImageState(layout, sim, on ? "on" : "off"); });
  EXPECT_EQ(sim.TraceCount("WriteLocalPIB "), 2u);
  EXPECT_EQ(sim.TraceCount("ResetLocalDev 0"), 2u);
  EXPECT_EQ(sim.TraceCount("OVERLAP"), 0u);
}

TEST(Qca7420, FirmwareWithNeitherVersionHasNoSettingAndOkWritesNothing) {
  SimCase sim;
  OstrelSession ostrel(SimCase::OstrelExe(),
                       sim.WriteProfile("family = 1\nimage = image.nvm\ncreate = 7420-1.4\n"
                                        "firmware = INT7420-MAC-2.0.1-SIM"));
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  const std::string noSetting = kNoSetting;
  EXPECT_EQ(ostrel.Log(), noSetting);
  for (int id : {IDC_RADIO_ON, IDC_RADIO_OFF}) {
    EXPECT_FALSE(ostrel.Checked(id));
    EXPECT_FALSE(ostrel.Enabled(id));
  }
  ostrel.Click(IDOK);
  EXPECT_EQ(ostrel.Log(), noSetting + "\r\nDisable device power save fail!");
  const std::vector<std::string> trace = sim.Trace();
  EXPECT_EQ(trace, (std::vector<std::string>{"GetPLCType", "GetLocalDevInfo"}));
}
} // namespace
