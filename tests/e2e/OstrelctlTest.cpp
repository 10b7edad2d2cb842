// ostrelctl against the simulated adapter: a console program, driven through
// its command line, its output and its exit status.
#include "nvm/NvmImageBuilder.h"
#include "tests/e2e/SimCase.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <tuple>

namespace {

using Lines = std::vector<std::string>;

struct CtlRun {
  int status;
  Lines lines;
};

CtlRun Ctl(const std::string& profile, const std::string& arguments,
           const std::string& exe = SimCase::ProgramExe("ostrelctl.exe")) {
  ::SetEnvironmentVariableA("KELVANE_SIM", profile.c_str());
  int status = -1;
  const std::string output = RunProgram(exe, arguments, status);
  return {status, SplitLines(output)};
}

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

TEST(Ostrelctl, StatusNamesTheFamilyFirmwareStrategyAndState) {
  SimCase sim;
  const struct {
    std::string profile;
    int status;
    Lines lines;
  } cases[] = {
      {"family = 2\nparam41 = p41.bin\npowersave = on",
       0,
       {"family: broadcom", "strategy: broadcom", "power-save: on"}},
      {QcaProfile(kSimLayouts[0], "powersave = on"),
       0,
       {"family: qualcomm-atheros", "firmware: INT7420-MAC-1.0.12-SIM", "strategy: 7420-1.0",
        "power-save: on"}},
      {"family = 1\nfirmware = QCA7500-MAC-2.3.1-SIM\nimage = i7500.nvm\ncreate = 7500",
       0,
       {"family: qualcomm-atheros", "firmware: QCA7500-MAC-2.3.1-SIM", "strategy: 7500",
        "power-save: off"}},
      {"family = 1\nfirmware = INT7420-MAC-2.0.1-SIM",
       1,
       {"family: qualcomm-atheros", "firmware: INT7420-MAC-2.0.1-SIM", "strategy: none",
        "power-save: unavailable", "ostrelctl: the power-save state cannot be read"}},
      {"family = 0", 3, {"ostrelctl: no adapter found"}},
  };
  for (const auto& c : cases) {
    const CtlRun run = Ctl(sim.WriteProfile(c.profile), "status");
    EXPECT_EQ(run.status, c.status) << c.profile;
    EXPECT_EQ(run.lines, c.lines) << c.profile;
  }
}

class OstrelctlQca : public ::testing::TestWithParam<LayoutAndBuild> {
protected:
  const SimLayout& layout = std::get<0>(GetParam());
  const std::string exe = SimCase::ProgramExe("ostrelctl.exe", std::get<1>(GetParam()));
};

TEST_P(OstrelctlQca, SwitchesBothWaysWithBackupAndVerifyThenRestoresTheBackup) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(layout, "powersave = off"));
  ASSERT_EQ(Ctl(profile, "status", exe).status, 0);
  const std::vector<uint8_t> before = ReadBytes(sim.Path("image.nvm"));
  const std::string backup = sim.Path("backup.nvm");

  CtlRun run = Ctl(profile, "on --backup " + Quoted(backup) + " --verify", exe);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines, (Lines{"saved: " + backup + " (" + std::to_string(before.size()) + " bytes)",
                              "Enable device power save success!", "verified: on"}));
  EXPECT_EQ(ReadBytes(backup), before);
  ExpectImageState(layout, sim, "on");

  run = Ctl(profile, "off --verify", exe);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines, (Lines{"Disable device power save success!", "verified: off"}));
  ExpectImageState(layout, sim, "off");

  ASSERT_EQ(Ctl(profile, "on", exe).status, 0);
  run = Ctl(profile, "restore " + Quoted(backup), exe);
  EXPECT_EQ(run.status, 0) << run.lines.front();
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

class OstrelctlBroadcom : public ::testing::TestWithParam<LibraryBuild> {};

TEST_P(OstrelctlBroadcom, SwitchesBothWaysAndRestoresTheParameter) {
  SimCase sim;
  const std::string exe = SimCase::ProgramExe("ostrelctl.exe", GetParam());
  const std::string profile = sim.WriteProfile("family = 2\nparam41 = p41.bin\npowersave = on");
  ASSERT_EQ(Ctl(profile, "status", exe).status, 0);
  const std::vector<uint8_t> before = ReadBytes(sim.Path("p41.bin"));
  const std::string backup = sim.Path("p41.bak");

  CtlRun run = Ctl(profile, "off --backup " + Quoted(backup) + " --verify", exe);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines, (Lines{"saved: " + backup + " (1500 bytes)",
                              "Disable device power save success!", "verified: off"}));
  const std::vector<uint8_t> saved = ReadBytes(backup);
  ASSERT_EQ(saved.size(), 1500u);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), saved.begin()));
  EXPECT_EQ(Ctl(profile, "on --verify", exe).lines.back(), "verified: on");
  ASSERT_EQ(Ctl(profile, "off", exe).status, 0);

  run = Ctl(profile, "restore " + Quoted(backup), exe);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadBytes(sim.Path("p41.bin")), before);
}

INSTANTIATE_TEST_SUITE_P(Builds, OstrelctlBroadcom, EveryLibraryBuild(), LibraryBuildTestName);

TEST(Ostrelctl, ABackupThatCannotBeSavedWritesNothing) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off"));
  ASSERT_EQ(Ctl(profile, "status").status, 0);
  const std::vector<uint8_t> before = ReadBytes(sim.Path("image.nvm"));
  const std::string backup = sim.Path("no such folder\\backup.nvm");
  const CtlRun run = Ctl(profile, "on --backup " + Quoted(backup));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.lines, Lines{"ostrelctl: " + backup + ": cannot save the copy"});
  EXPECT_EQ(ReadBytes(sim.Path("image.nvm")), before);
  EXPECT_EQ(sim.TraceCount("WriteLocalPIB"), 0u);
}

TEST(Ostrelctl, RefusesToRestoreWhatTheStrategyWouldNotWrite) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = on"));
  const std::string backup = sim.Path("backup.nvm");
  ASSERT_EQ(Ctl(profile, "backup " + Quoted(backup)).lines,
            (Lines{"saved: " + backup + " (16384 bytes)", "layout: 7420-1.4", "open: 0",
                   "power-save: on"}));
  std::vector<uint8_t> broken = ReadBytes(backup);
  broken[broken.size() / 2] ^= 1;
  WriteBytes(sim.Path("broken.nvm"), broken);
  WriteBytes(sim.Path("other.nvm"), NvmImageBuilder(kPibLayout74201D3, false).image);
  WriteBytes(sim.Path("large.nvm"), NvmImageBuilder(kPibLayout7500, false).image);

  const struct {
    const char* file;
    int status;
    const char* says;
  } cases[] = {
      {"broken.nvm", 1,
       "does not open as a 7420-1.4 image (PibOpen code 2: the header chain, a checksum or the "
       "PIB's content failed its check); nothing written"},
      {"other.nvm", 1,
       "does not open as a 7420-1.4 image (PibOpen code 3: the PIB version is not the layout's); "
       "nothing written"},
      {"large.nvm", 1, "larger than the 16384 bytes this adapter takes; nothing written"},
      {"missing.nvm", 2, "No such file or directory"},
  };
  for (const auto& c : cases) {
    const CtlRun run = Ctl(profile, "restore " + Quoted(sim.Path(c.file)));
    EXPECT_EQ(run.status, c.status) << c.file;
    EXPECT_EQ(run.lines, Lines{"ostrelctl: " + sim.Path(c.file) + ": " + c.says});
  }
  EXPECT_EQ(sim.TraceCount("WriteLocalPIB"), 0u);

  // A backup of an image that does not open is saved all the same.
  WriteBytes(sim.Path("image.nvm"), broken);
  const CtlRun run = Ctl(profile, "backup " + Quoted(backup));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.lines.at(2), "open: 2");
  EXPECT_EQ(ReadBytes(backup), broken);
}

TEST(Ostrelctl, AWriteRefusedOrNotKeptIsStatusOne) {
  SimCase sim;
  CtlRun run = Ctl(sim.WriteProfile(QcaProfile(kSimLayouts[1], "fail = WriteLocalPIB")), "on");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.lines, Lines{"Enable device power save fail!"});
  // Verify catches a write the adapter reports as done but does not keep.
  run = Ctl(sim.WriteProfile(QcaProfile(kSimLayouts[1], "drop = WriteLocalPIB")), "on --verify");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.lines, (Lines{"Enable device power save success!", "verified: off",
                              "ostrelctl: verify: the adapter reads off after the write"}));
}

TEST(Ostrelctl, WithoutTheLibraryOrWithBadArgumentsSaysSo) {
  SimCase sim;
  const std::string alone = sim.Path("ostrelctl.exe");
  ASSERT_TRUE(::CopyFileA(SimCase::ProgramExe("ostrelctl.exe").c_str(), alone.c_str(), FALSE));
  const CtlRun run = Ctl("", "status", alone);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.lines, Lines{"ostrelctl: cannot load Kelvane.dll from the program's folder or the "
                             "system folder"});
  for (const char* arguments : {"", "switch", "on --verify --verify", "on --backup", "backup"})
    EXPECT_EQ(Ctl("", arguments).status, 2) << arguments;
}

} // namespace
