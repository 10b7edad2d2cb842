// ostrelctl beside other processes: the lock between runs and the dialog, a
// write cut short by a process that died, the data folder as a file.
#include "app/resource.h"
#include "nvm/PibAddress.h"
#include "tests/e2e/OstrelSession.h"
#include "tests/e2e/OstrelctlTest.h"

#include <thread>

namespace {
// How many runs of calls the trace holds, each run from one process.
std::size_t ProcessRuns(const SimCase& sim) {
  std::vector<unsigned long> runs;
  for (const auto& [pid, line] : sim.TraceByProcess()) {
    if (runs.empty() || runs.back() != pid)
      runs.push_back(pid);
  }
  return runs.size();
}

TEST(OstrelctlLock, TwoRunsTakeTurnsAndAThirdGivesUpAfterItsWait) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(
      QcaProfile(kSimLayouts[1], "powersave = off\n" + SimCase::Gate("GetLocalPIB")));
  sim.OpenGate();
  ASSERT_EQ(Ctl(profile, "status --wait 0").status, 0);
  sim.CloseGate();
  CtlRun on, off;
  std::thread first([&] { on = Ctl(profile, "on"); });
  ASSERT_TRUE(sim.WaitAtGate());
  std::thread second([&] { off = Ctl(profile, "off"); });
  const CtlRun busy = Ctl(profile, "status --wait 1");
  sim.OpenGate();
  first.join();
  second.join();
  EXPECT_EQ(on.status, 0);
  EXPECT_EQ(off.status, 0);
  EXPECT_EQ(busy.status, 4);
  EXPECT_EQ(busy.lines, Lines{"ostrelctl: the adapter is in use by another program"});
  // Each run's calls stand together: no read-modify-write interleaves.
  EXPECT_EQ(ProcessRuns(sim), 3u);
  ExpectImageState(kSimLayouts[1], sim, "off");
  // Both writes are in the history, each record whole.
  const std::string history = HistoryJson(profile);
  EXPECT_NE(history.find(R"("action": "on", "family": "qualcomm-atheros")"), std::string::npos);
  EXPECT_NE(history.find(R"("action": "off", "family": "qualcomm-atheros")"), std::string::npos);

  // Another object that has taken the lock's name is not "in use", and no
  // wait for it ends.
  const HANDLE squatter = ::CreateEventW(nullptr, TRUE, FALSE, L"Global\\Ostrel.Adapter");
  const CtlRun taken = Ctl(profile, "status");
  ::CloseHandle(squatter);
  EXPECT_EQ(taken.status, 4);
  EXPECT_EQ(taken.lines.at(0).rfind("ostrelctl: the adapter lock cannot be opened: ", 0), 0u)
      << taken.lines.at(0);
}

// The dialog's OK and an ostrelctl run at once: the run waits until the
// dialog's read-modify-write is over, so neither change is lost. A second OK,
// queued during the dialog's write (which reads no messages), is dropped by
// its time.
TEST(Ostrelctl, WaitsForTheDialogsWriteToEnd) {
  SimCase sim;
  const std::string profile =
      sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off\ndelay_ms = 300"));
  OstrelSession ostrel(SimCase::OstrelExe(), profile);
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  ostrel.Click(IDC_RADIO_ON);
  const std::size_t reads = sim.TraceCount("GetLocalPIB");
  ostrel.PostClick(IDOK);
  ASSERT_TRUE(WaitUntil([&] { return sim.TraceCount("GetLocalPIB") > reads; }));
  ostrel.PostClick(IDOK);
  const CtlRun off = Ctl(profile, "off");
  EXPECT_EQ(off.status, 0);
  EXPECT_TRUE(
      ostrel.WaitForLog(std::string(kScannedOff) + "\r\nEnable device power save success!"));
  // Posted after the result line: a new press, handled after the queued one.
  ostrel.PostClick(IDC_BUTTON_SCAN);
  EXPECT_TRUE(ostrel.WaitForLog(kScannedOff));
  EXPECT_EQ(sim.TraceCount("WriteLocalPIB "), 2u);
  // The dialog's calls, then ostrelctl's, then the Scan's.
  EXPECT_EQ(ProcessRuns(sim), 3u) << ::testing::PrintToString(sim.Trace());
  ExpectImageState(kSimLayouts[1], sim, "off");
  // The dialog's write keeps its copy, and is recorded as not read back.
  const std::string copy = FilesMatching(sim.Path("appdata\\Ostrel\\copies\\*.ostrel")).at(0);
  const std::string history = HistoryJson(profile);
  const std::size_t dialog = history.find(
      std::string(R"("program": "Ostrel.exe", "action": "on", "family": "qualcomm-atheros", )") +
      R"("address": ")" + AddressText(Decoded(copy).address).text + R"(", "firmware": ")" +
      kSimLayouts[1].firmware +
      R"(", "before": "off", "after": "on", "result": "unverified", "copy": ")" + JsonPath(copy) +
      "\"");
  EXPECT_LT(dialog, history.find("\"program\": \"ostrelctl\", \"action\": \"off\"")) << history;
}

// While ostrelctl holds the adapter, OK waits for it with the dialog still
// answering; a radio click made meanwhile is dropped, and the write follows.
TEST(Ostrelctl, TheDialogAnswersWhileItWaitsForTheAdapter) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off"));
  OstrelSession ostrel(SimCase::OstrelExe(), profile);
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  ostrel.Click(IDC_RADIO_ON);
  const std::string slow = sim.WriteProfile(
      QcaProfile(kSimLayouts[1], "powersave = off\n" + SimCase::Gate("GetLocalPIB")), "slow.sim");
  CtlRun holder;
  std::thread status([&] { holder = Ctl(slow, "status"); });
  ASSERT_TRUE(sim.WaitAtGate());
  ostrel.PostClick(IDOK);
  EXPECT_TRUE(ostrel.WaitForLog(std::string(kScannedOff) + "\r\n" + kWaiting));
  DWORD_PTR answer = 0;
  EXPECT_NE(::SendMessageTimeoutA(ostrel.Dialog(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer),
            0);
  ostrel.PostClick(IDC_RADIO_OFF);
  sim.OpenGate();
  status.join();
  EXPECT_EQ(holder.status, 0);
  EXPECT_TRUE(ostrel.WaitForLog(std::string(kScannedOff) + "\r\n" + kWaiting +
                                "\r\nEnable device power save success!"));
  EXPECT_TRUE(ostrel.Checked(IDC_RADIO_ON));
  EXPECT_FALSE(ostrel.Checked(IDC_RADIO_OFF));
  ExpectImageState(kSimLayouts[1], sim, "on");
}

// A program stopped during its write leaves the write's record as started,
// and the next program to reach the adapter says, before anything else,
// that the write was cut short.
TEST(Ostrelctl, AWriteCutShortIsRecordedAndNamedByTheNextRun) {
  SimCase sim;
  const std::string hanging = sim.WriteProfile(
      QcaProfile(kSimLayouts[1], "powersave = on\nhang = WriteLocalPIB"), "hang.sim");
  {
    OstrelSession ostrel(SimCase::OstrelExe(), hanging);
    ASSERT_TRUE(ostrel.WaitForFirstScan());
    ostrel.Click(IDC_RADIO_OFF);
    ostrel.PostClick(IDOK);
    ASSERT_TRUE(WaitUntil([&] { return sim.TraceCount("HANG WriteLocalPIB") == 1; }));
  }
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = on"));
  const CtlRun status = Ctl(profile, "status");
  EXPECT_EQ(status.status, 0) << status.err;
  EXPECT_EQ(status.err.rfind("ostrelctl: warning: a write by Ostrel.exe at ", 0), 0u) << status.err;
  EXPECT_EQ(status.err.find("could not be identified"), std::string::npos) << status.err;
  // With both streams in one pipe, the warning still comes first.
  int both = -1;
  const std::string merged = RunProgram(SimCase::ProgramExe("ostrelctl.exe"), "status", both);
  EXPECT_EQ(merged.rfind("ostrelctl: warning: a write by Ostrel.exe at ", 0), 0u) << merged;
  const std::string history = HistoryJson(profile);
  EXPECT_NE(history.find("\"result\": \"started\""), std::string::npos);
}

// No copy can be saved where LOCALAPPDATA names a file: the dialog writes all
// the same, and says why there is no copy after its result line.
TEST(Ostrelctl, AWriteGoesOnWhenItsCopyCannotBeSaved) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[2], "powersave = off"));
  std::ofstream(sim.Path("appdata")) << 'x';
  {
    OstrelSession ostrel(SimCase::OstrelExe(), profile);
    ASSERT_TRUE(ostrel.WaitForFirstScan());
    ostrel.Apply(IDC_RADIO_ON);
    EXPECT_TRUE(
        ostrel.WaitForLog(std::string(kScannedOff) +
                          "\r\nEnable device power save success!"
                          "\r\nNo automatic copy was saved before the write: not a directory"));
  }
  ExpectImageState(kSimLayouts[2], sim, "on");
}
} // namespace
