// A Broadcom adapter: the switch is bit 15 of the first data word of
// parameter 41, the top bit of byte 5 of the parameter file.
#include "app/resource.h"
#include "tests/e2e/OstrelSession.h"
#include "tests/e2e/SimCase.h"

#include <gtest/gtest.h>

namespace {
std::string Profile(const std::string& extra) {
  return "family = 2\nparam41 = param41.bin\n" + extra;
}

bool SwitchBit(const SimCase& sim) {
  const std::vector<uint8_t> param = ReadBytes(sim.Path("param41.bin"));
  return param.size() > 5 && (param[5] & 0x80) != 0;
}

class BroadcomBuilds : public ::testing::TestWithParam<LibraryBuild> {};

TEST_P(BroadcomBuilds, ReadsOnThenSwitchesOffAndOnAgain) {
  SimCase sim;
  OstrelSession ostrel(SimCase::OstrelExe(GetParam()), sim.WriteProfile(Profile("powersave = on")));
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  ExpectSwitchOverAndBack(ostrel, true, [&](bool on) { EXPECT_EQ(SwitchBit(sim), on); });
  EXPECT_EQ(sim.TraceCount("OVERLAP"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Broadcom, BroadcomBuilds, EveryLibraryBuild(), LibraryBuildTestName);

TEST(Broadcom, FailedStateReadClearsBothRadiosButLeavesThemUsable) {
  SimCase sim;
  OstrelSession ostrel(SimCase::OstrelExe(),
                       sim.WriteProfile(Profile("powersave = on\nfail = BrcmGetParam")));
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  EXPECT_EQ(ostrel.Log(), kNoSetting);
  for (int id : {IDC_RADIO_ON, IDC_RADIO_OFF}) {
    EXPECT_FALSE(ostrel.Checked(id));
    EXPECT_TRUE(ostrel.Enabled(id));
  }
  // The word of the fail line shows what each click made of the choice.
  ostrel.Click(IDOK);
  ostrel.Apply(IDC_RADIO_ON);
  ostrel.Apply(IDC_RADIO_OFF);
  EXPECT_EQ(ostrel.Log(), std::string(kNoSetting) + "\r\nDisable device power save fail!"
                                                    "\r\nEnable device power save fail!"
                                                    "\r\nDisable device power save fail!");
  EXPECT_EQ(sim.TraceCount("BrcmSetParam"), 0u);
}

// A Scan sets a clicked radio back to what it reads, and writes nothing; a
// failed write leaves the parameter and the choice; a Scan that finds no
// adapter leaves the radios and the strategy.
TEST(Broadcom, AScanResetsAClickedRadioAndAFailedWriteLeavesTheParameterAndTheChoice) {
  SimCase sim;
  OstrelSession ostrel(SimCase::OstrelExe(),
                       sim.WriteProfile(Profile("powersave = on\nfail = BrcmSetParam")));
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  ostrel.Click(IDC_RADIO_OFF);
  EXPECT_TRUE(ostrel.Checked(IDC_RADIO_OFF));
  ostrel.Click(IDC_BUTTON_SCAN);
  EXPECT_TRUE(ostrel.Checked(IDC_RADIO_ON));
  EXPECT_FALSE(ostrel.Checked(IDC_RADIO_OFF));
  EXPECT_TRUE(SwitchBit(sim));
  const std::vector<uint8_t> before = ReadBytes(sim.Path("param41.bin"));
  ostrel.Apply(IDC_RADIO_OFF);
  EXPECT_EQ(ostrel.Log(), std::string(kScannedOn) + "\r\nDisable device power save fail!");
  EXPECT_EQ(ReadBytes(sim.Path("param41.bin")), before);
  EXPECT_TRUE(ostrel.Checked(IDC_RADIO_OFF));
  EXPECT_FALSE(ostrel.Checked(IDC_RADIO_ON));
  // The adapter gone (a detection reads the profile again), a Scan leaves the
  // radios; OK still goes through the strategy the earlier scan chose.
  sim.WriteProfile("family = 0\nparam41 = param41.bin\npowersave = on");
  ostrel.Click(IDC_BUTTON_SCAN);
  EXPECT_EQ(ostrel.Log(), kNoDevice);
  EXPECT_TRUE(ostrel.Checked(IDC_RADIO_OFF));
  EXPECT_FALSE(ostrel.Checked(IDC_RADIO_ON));
  EXPECT_TRUE(ostrel.Enabled(IDC_RADIO_ON));
  ostrel.Click(IDOK);
  EXPECT_EQ(ostrel.Log().rfind(std::string(kNoDevice) + "\r\nDisable device power save ", 0), 0u);
}
} // namespace
