// ostrelctl's command line, its text on the console and the paths it is
// given: what only the program as built shows.
#include "tests/e2e/OstrelctlTest.h"

namespace {
// The device's firmware text never drives the terminal: control characters
// escaped, the code page's characters as themselves, JSON in ASCII.
TEST(Ostrelctl, TextFromTheDeviceOrAFileCannotDriveTheTerminal) {
  SimCase sim;
  const std::string firmware = "INT7420-MAC-1.1.3-\x1b]0;owned\x07\x1b[2J\xe9";
  const std::string profile = sim.WriteProfile("family = 1\nfirmware = " + firmware +
                                               "\nimage = image.nvm\ncreate = 7420-1.4");
  wchar_t e = 0;
  ASSERT_EQ(::MultiByteToWideChar(CP_ACP, 0, "\xe9", 1, &e, 1), 1);
  const std::string shown =
      "INT7420-MAC-1.1.3-\\x1b]0;owned\\x07\\x1b[2J" + Utf8FromWide(std::wstring(1, e));
  CtlRun run = Ctl(profile, "status");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines.at(1), "firmware: " + shown);
  run = Ctl(profile, "status --json");
  EXPECT_NE(run.out.find(R"("firmware": "INT7420-MAC-1.1.3-\u001b]0;owned\u0007\u001b[2J)" +
                         JsonPath(Utf8FromWide(std::wstring(1, e))) + "\""),
            std::string::npos)
      << run.out;
}

// help and --version answer on standard output; a wrong word is named on
// standard error with the usage after it; nothing reaches the adapter.
TEST(Ostrelctl, HelpVersionAndUsageErrors) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off"));
  // Which words ask for help is decided natively (tests/tools/PibtoolTest.cpp).
  CtlRun run = Ctl(profile, "/?");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("usage: ostrelctl status", 0), 0u);
  EXPECT_NE(run.out.find("ostrelctl restore FILE"), std::string::npos);
  EXPECT_EQ(run.err, "");
  // The version record's file version (VersionRecord), as the console writes it.
  run = Ctl(profile, "--version");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "ostrelctl 1.0.0.1\r\n");
  // clang-format off
  const struct { const char* arguments, *says; } wrong[] = {
      // Which word is wrong is decided natively; these show that the words
      // arrive as they were quoted.
      {"", "no command given"},
      {"off --backup \"\"", "'--backup' needs a value; argument 3 is empty"},
      {"off \"--backup force\"", "unknown option '--backup force' for off"},
      {"restore \"\"", "argument 2 is empty"},
  };
  // clang-format on
  for (const auto& w : wrong) {
    run = Ctl(profile, w.arguments);
    EXPECT_EQ(run.status, 2) << w.arguments;
    EXPECT_EQ(run.out, "") << w.arguments;
    const Lines errors = SplitLines(run.err);
    ASSERT_GE(errors.size(), 2u) << w.arguments;
    EXPECT_EQ(errors[0], std::string("ostrelctl: ") + w.says);
    EXPECT_EQ(errors[1].rfind("usage: ostrelctl status", 0), 0u) << w.arguments;
  }
  // An argument with an unpaired surrogate has no exact UTF-8 form; any
  // stand-in could name another file, so it is a usage error.
  std::wstring exe, folder;
  ASSERT_TRUE(WideFromUtf8(SimCase::ProgramExe("ostrelctl.exe"), exe));
  ASSERT_TRUE(WideFromUtf8(sim.Path(""), folder));
  std::wstring line = L"\"" + exe + L"\" backup \"" + folder + L"a" + wchar_t(0xD800) + L"b\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  EXPECT_EQ(code, 2u);
  EXPECT_EQ(sim.Trace(), Lines{});
}

// A backup file may lie anywhere a Windows user has files; its name comes
// back as the same UTF-8 bytes in what ostrelctl says.
class OstrelctlPaths : public ::testing::TestWithParam<UnusualPath> {};

TEST_P(OstrelctlPaths, BackupAndRestoreThroughTheFile) {
  SimCase sim;
  ASSERT_TRUE(MakeFolders(sim, GetParam().folders));
  const std::string backup = sim.Path(GetParam().folders) + "\\" + GetParam().file + ".ostrel";
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[0], "powersave = on"));
  CtlRun run = Ctl(profile, "backup " + Quoted(backup));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.lines.at(0).rfind("saved: " + backup + " (", 0), 0u) << run.lines.at(0);
  run = Ctl(profile, "restore --json " + Quoted(backup));
  EXPECT_EQ(run.status, 0) << run.out;
  // With --json, the object alone, on standard output.
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.rfind("{\"restored\": \"" + JsonPath(backup) + "\"", 0), 0u) << run.out;
  const std::string missing = backup + ".нет";
  run = Ctl(profile, "restore " + Quoted(missing));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err.rfind("ostrelctl: " + missing + ": ", 0), 0u) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Names, OstrelctlPaths, EveryUnusualPath(), UnusualPathName);

TEST(Ostrelctl, WithoutTheLibrarySaysSo) {
  SimCase sim;
  const std::string alone = sim.Path("ostrelctl.exe");
  ASSERT_TRUE(::CopyFileA(SimCase::ProgramExe("ostrelctl.exe").c_str(), alone.c_str(), FALSE));
  CtlRun run = Ctl("", "status", alone);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.lines, Lines{"ostrelctl: cannot load Kelvane.dll from the program's folder or the "
                             "system folder"});
  // A file of that name that is no 32-bit library is not "no adapter".
  std::ofstream(sim.Path("Kelvane.dll")) << "not a library";
  EXPECT_EQ(Ctl("", "status", alone).lines,
            Lines{"ostrelctl: Kelvane.dll is not a 32-bit Windows library"});
  // A file that cannot be read says why in the system's words.
  ASSERT_TRUE(::CreateDirectoryA(sim.Path("copies").c_str(), nullptr));
  const CtlRun folder = Ctl(sim.WriteProfile(QcaProfile(kSimLayouts[1], "")),
                            "restore " + Quoted(sim.Path("copies")));
  EXPECT_EQ(folder.status, 2);
  EXPECT_EQ(folder.lines,
            Lines{"ostrelctl: " + sim.Path("copies") + ": is a directory; nothing written"});
}

// Run as SYSTEM, LOCALAPPDATA lies in System32. On 64-bit Windows this 32-bit
// test, as ostrelctl, sees the real System32 as Sysnative: the history lands
// there, and what an earlier run left in SysWOW64 is moved there, with a
// warning.
TEST(Ostrelctl, DataUnderSystem32LandsInTheRealSystem32) {
  SimCase sim;
  BOOL wow64 = FALSE;
  ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
  char windows[MAX_PATH];
  ASSERT_GT(::GetSystemWindowsDirectoryA(windows, MAX_PATH), 0u);
  const std::string name = "ostrel-e2e-" + std::to_string(::GetCurrentProcessId());
  const std::string real = std::string(windows) + (wow64 ? "\\Sysnative\\" : "\\System32\\") + name;
  const std::string old = std::string(windows) + "\\SysWOW64\\" + name;
  ASSERT_TRUE(::CreateDirectoryA(real.c_str(), nullptr));
  if (wow64) {
    ASSERT_TRUE(::CreateDirectoryA(old.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((old + "\\Ostrel").c_str(), nullptr));
    std::ofstream(old + "\\Ostrel\\history.txt");
  }
  const std::string local = std::string(windows) + "\\system32\\" + name;
  ::SetEnvironmentVariableA("LOCALAPPDATA", local.c_str());
  const CtlRun run = Ctl(sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off")), "on");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("the copies and the history were moved from " + old + "\\Ostrel"),
            wow64 ? 0u + std::strlen("ostrelctl: warning: ") : std::string::npos)
      << run.err;
  EXPECT_NE(ReadLines(real + "\\Ostrel\\history.txt").size(), 0u);
  EXPECT_EQ(::GetFileAttributesA((old + "\\Ostrel").c_str()), INVALID_FILE_ATTRIBUTES);
  for (const std::string& folder : {real, old}) {
    std::wstring wide;
    std::string error;
    if (WidePath(folder, wide, error))
      RemoveTree(wide);
  }
}
} // namespace
