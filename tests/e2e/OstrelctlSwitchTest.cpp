// One pass a strategy family through the programs as built: switch both
// ways with a backup and read-back, then restore the backup.
#include "tests/e2e/OstrelctlTest.h"

#include <tuple>

namespace {
class OstrelctlQca : public ::testing::TestWithParam<LayoutAndBuild> {
protected:
  const SimLayout& layout = std::get<0>(GetParam());
  const std::string exe = SimCase::ProgramExe("ostrelctl.exe", std::get<1>(GetParam()));
};

TEST_P(OstrelctlQca, SwitchesBothWaysWithBackupAndReadBackThenRestoresTheBackup) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(layout, "powersave = off"));
  ASSERT_EQ(Ctl(profile, "status", exe).status, 0);
  const std::vector<uint8_t> before = ReadBytes(sim.Path("image.nvm"));
  const std::string backup = sim.Path("backup.ostrel");

  CtlRun run = Ctl(profile, "on --backup " + Quoted(backup), exe);
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.lines.size(), 5u);
  EXPECT_EQ(run.lines[0], Saved(backup));
  EXPECT_EQ(run.lines[1], std::string("layout: ") + layout.name);
  EXPECT_EQ(run.lines[3], "Enable device power save success!");
  EXPECT_EQ(run.lines[4], "verified: on");
  const BackupCopy copy = Decoded(backup);
  EXPECT_EQ(copy.bytes, before);
  EXPECT_EQ(copy.firmware, layout.firmware);
  EXPECT_EQ(copy.layout, layout.name);
  ExpectImageState(layout, sim, "on");

  run = Ctl(profile, "off --verify", exe);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines, (Lines{"Disable device power save success!", "verified: off"}));
  ExpectImageState(layout, sim, "off");

  ASSERT_EQ(Ctl(profile, "on --no-verify", exe).lines, Lines{"Enable device power save success!"});
  run = Ctl(profile, "restore " + Quoted(backup), exe);
  EXPECT_EQ(run.status, 0) << run.lines.front();
  ASSERT_EQ(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[1].rfind("verified: ", 0), 0u);
  EXPECT_EQ(ReadBytes(sim.Path("image.nvm")), before);
  EXPECT_EQ(sim.TraceCount("WriteLocalPIB "), 4u);
  EXPECT_EQ(sim.TraceCount("ResetLocalDev 0"), layout.resets ? 4u : 0u);
  // The library runs inside each ostrelctl, never in this test.
  for (const auto& [process, call] : sim.TraceByProcess()) {
    EXPECT_NE(process, 0ul) << call;
    EXPECT_NE(process, ::GetCurrentProcessId()) << call;
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, OstrelctlQca, EveryLayoutAndBuild(), LayoutAndBuildName);

// One build: how each Broadcom entry point is called in either build,
// BroadcomBuilds shows through the dialog.
TEST(OstrelctlBroadcom, SwitchesBothWaysAndRestoresTheParameter) {
  const std::string exe = SimCase::ProgramExe("ostrelctl.exe");
  SimCase sim;
  const std::string profile = sim.WriteProfile("family = 2\nparam41 = p41.bin\npowersave = on");
  ASSERT_EQ(Ctl(profile, "status", exe).status, 0);
  const std::vector<uint8_t> before = ReadBytes(sim.Path("p41.bin"));
  const std::string backup = sim.Path("p41.ostrel");

  CtlRun run = Ctl(profile, "off --backup " + Quoted(backup) + " --verify", exe);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines,
            (Lines{Saved(backup), "Disable device power save success!", "verified: off"}));
  const BackupCopy saved = Decoded(backup);
  ASSERT_EQ(saved.bytes.size(), 1500u);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), saved.bytes.begin()));
  EXPECT_EQ(Ctl(profile, "on", exe).lines.back(), "verified: on");
  ASSERT_EQ(Ctl(profile, "off", exe).status, 0);

  run = Ctl(profile, "restore " + Quoted(backup), exe);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines,
            (Lines{"restored: " + backup + " (" + std::to_string(before.size()) + " bytes written)",
                   "verified: " + std::to_string(before.size()) + " bytes"}));
  EXPECT_EQ(ReadBytes(sim.Path("p41.bin")), before);
}
} // namespace
