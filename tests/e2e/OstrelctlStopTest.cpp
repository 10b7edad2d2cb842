// ostrelctl stopped: by Ctrl+C, before or during its write, and by the end
// of the user's session.
#include "tests/e2e/OstrelctlTest.h"
#include "tests/support/WindowHelpers.h"

#include <functional>

namespace {
BOOL WINAPI IgnoreStop(DWORD) {
  return TRUE;
}

// ostrelctl stopped once `due` holds: `stop` gets its process and does it;
// by default a Ctrl+C. Its output goes to files, so that nothing waits on a
// pipe meanwhile. The event goes to every process of the console, so the
// test takes a console of its own for the while and ignores the event
// itself. (Windows would send a Ctrl+Break to ostrelctl's own process group;
// Wine 8 sends no Ctrl+Break, and its Ctrl+C does not reach a new process
// group.) A run that has not ended 15 s after the stop is ended, status -2.
CtlRun CtlStopped(const SimCase& sim, const std::string& profile, const std::string& arguments,
                  const std::function<bool()>& due,
                  const std::function<void(const PROCESS_INFORMATION&)>& stop = {}) {
  ::SetEnvironmentVariableA("KELVANE_SIM", profile.c_str());
  const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE standard[3];
  for (int i = 0; i < 3; ++i)
    standard[i] = ::GetStdHandle(kinds[i]);
  ::FreeConsole();
  EXPECT_TRUE(::AllocConsole());
  ::SetConsoleCtrlHandler(&IgnoreStop, TRUE);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const std::string paths[] = {sim.Path("stop-out.txt"), sim.Path("stop-err.txt")};
  HANDLE files[2];
  for (int i = 0; i < 2; ++i)
    files[i] = ::CreateFileA(paths[i].c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = files[0];
  startup.hStdError = files[1];
  const std::string exe = SimCase::ProgramExe("ostrelctl.exe");
  std::string commandLine = "\"" + exe + "\" " + arguments;
  PROCESS_INFORMATION process{};
  CtlRun run{-1, {}, {}, {}};
  if (::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
    EXPECT_TRUE(WaitUntil(due));
    if (stop)
      stop(process);
    else
      EXPECT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    // Calls held at the simulator's gate go on once the run has ended, or
    // once its handler has taken the stop: the stop's line reaches standard
    // error at once.
    EXPECT_TRUE(WaitUntil([&] {
      return ::WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0 ||
             !ReadBytes(paths[1]).empty();
    }));
    sim.OpenGate();
    DWORD code = static_cast<DWORD>(-2);
    if (::WaitForSingleObject(process.hProcess, 15000) == WAIT_OBJECT_0)
      ::GetExitCodeProcess(process.hProcess, &code);
    else
      ::TerminateProcess(process.hProcess, code);
    run.status = static_cast<int>(code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  for (HANDLE file : files)
    ::CloseHandle(file);
  ::SetConsoleCtrlHandler(&IgnoreStop, FALSE);
  ::FreeConsole();
  ::AttachConsole(ATTACH_PARENT_PROCESS);
  for (int i = 0; i < 3; ++i)
    ::SetStdHandle(kinds[i], standard[i]);
  const std::vector<uint8_t> out = ReadBytes(paths[0]), err = ReadBytes(paths[1]);
  run.out.assign(out.begin(), out.end());
  run.err.assign(err.begin(), err.end());
  run.lines = SplitLines(run.out + run.err);
  return run;
}

const std::string kFinishing =
    "ostrelctl: finishing the write to the adapter before stopping; a second Ctrl+C once the "
    "write has run 10 seconds ends ostrelctl at once";

// A stop before the write ends ostrelctl at once with status 5, nothing
// written, also while a library call is stuck. A stop during the write is
// taken: the write, its reset and its record in the history finish, the
// whole result is printed, a warning says that it was stopped, and the exit
// status is the result's. The reset fails here, so the run has a result of
// its own to lose. While the reset is held at the gate, the stop's line has
// already reached standard error's file: CtlStopped waits for it.
TEST(Ostrelctl, AStopDuringTheWriteLetsItFinishAndReport) {
  const std::string resetFailed = "power save off was written, but the reset after it failed; "
                                  "the adapter takes it at its next restart";
  const std::string stopped = "ostrelctl: warning: stopped; the write was finished first";
  const std::string unwritten = "ostrelctl: stopped before anything was written";
  const struct {
    const char* arguments;
    const char* extra; // profile lines
    // The stop comes once the trace has this call, or, when null, while the
    // gated call waits at the gate.
    const char* due;
    int status;
    std::string out;
    Lines err;
  } cases[] = {
      // clang-format off
      {"off", "gate = GetLocalDevInfo", nullptr, 5, "", {unwritten}},
      {"off", "hang = GetLocalPIB", "HANG GetLocalPIB", 5, "", {unwritten}},
      {"off", "gate = ResetLocalDev", nullptr, 1, "", {kFinishing, "ostrelctl: " + resetFailed, stopped}},
      {"off --json", "gate = ResetLocalDev", nullptr, 1,
       R"({"written": true, "reset": false, "error": ")" + resetFailed + R"(", "error_code": "reset_failed"})"
       "\r\n", {kFinishing, stopped}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SimCase sim;
    const std::string profile =
        sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = on\nfail = ResetLocalDev\n"
                                                    "gate_open = open.gate\n" +
                                                        std::string(c.extra)));
    const CtlRun run = CtlStopped(sim, profile, c.arguments, [&] {
      return c.due ? sim.TraceCount(c.due) > 0 : sim.WaitAtGate();
    });
    const std::string row = std::string(c.arguments) + ", " + c.extra;
    const bool written = c.status != 5;
    EXPECT_EQ(run.status, c.status) << row << "\n" << run.err;
    if (written)
      ExpectImageState(kSimLayouts[1], sim, "off");
    EXPECT_EQ(run.out, c.out) << row;
    EXPECT_EQ(SplitLines(run.err), c.err) << row;
    EXPECT_EQ(sim.TraceCount("WriteLocalPIB"), written ? 1u : 0u) << row;
    // Files a write leaves behind while it is under way.
    EXPECT_EQ(FilesMatching(sim.Path("*.tmp")), Lines{}) << row;
    EXPECT_EQ(FilesMatching(sim.Path("appdata\\Ostrel\\*.tmp")), Lines{}) << row;
    const std::string history = HistoryJson(profile);
    EXPECT_EQ(history.find("\"result\": \"failed\"") != std::string::npos, written) << row << "\n"
                                                                                    << history;
    EXPECT_EQ(history.find("\"result\": \"started\""), std::string::npos) << row;
  }
}

// A logoff during the write: the query is refused, and the end waits for
// the whole result, which is printed and kept, with the run's own status.
TEST(Ostrelctl, TheSessionsEndDuringTheWriteKeepsItsResult) {
  SimCase sim;
  const std::string profile =
      sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = on\ndelay_ms = 700"));
  const CtlRun run = CtlStopped(
      sim, profile, "off --json", [&] { return sim.TraceCount("WriteLocalPIB") > 0; },
      [&](const PROCESS_INFORMATION& process) {
        const HWND window = ProcessWindow(L"Ostrel.ConsoleHold", process.dwProcessId);
        ASSERT_NE(window, nullptr);
        DWORD_PTR answer = TRUE;
        EXPECT_NE(::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                        SMTO_NORMAL, 5000, &answer),
                  0);
        EXPECT_EQ(answer, static_cast<DWORD_PTR>(FALSE));
        // Answered when the run has ended, or never, when the process ends
        // first.
        ::SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 15000,
                              &answer);
      });
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"written\": true"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"verified\": true"), std::string::npos) << run.out;
  ExpectImageState(kSimLayouts[1], sim, "off");
}
} // namespace
