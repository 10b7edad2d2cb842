// Start-up without library or adapter, the ways the dialog ends and does not
// end, the About box, and two programs at one adapter.
#include "app/resource.h"
#include "files/WideText.h"
#include "files/WriteFile.h"
#include "tests/e2e/OstrelSession.h"
#include "tests/e2e/SimCase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace {
using Lines = std::vector<std::string>;
const char kBroadcomOn[] = "family = 2\nparam41 = param41.bin\npowersave = on";

// Without a library beside the program, or with no adapter, the dialog finds
// no device and leaves the radios as made; no adapter is asked only for its
// family.
TEST(Lifecycle, NoDeviceLeavesTheRadiosAsMade) {
  for (const bool library : {false, true}) {
    SimCase sim;
    // A copy of the program alone in a folder: no Kelvane.dll beside it.
    const std::string alone = sim.Path("Ostrel.exe");
    ASSERT_TRUE(library || ::CopyFileA(SimCase::OstrelExe().c_str(), alone.c_str(), FALSE));
    OstrelSession ostrel(library ? SimCase::OstrelExe() : alone,
                         library ? sim.WriteProfile("family = 0") : "");
    ASSERT_TRUE(ostrel.WaitForFirstScan());
    EXPECT_EQ(ostrel.Log(), kNoDevice);
    EXPECT_EQ(sim.Trace(), library ? Lines{"GetPLCType"} : Lines{});
    for (int id : {IDC_RADIO_ON, IDC_RADIO_OFF}) {
      EXPECT_FALSE(ostrel.Checked(id));
      EXPECT_TRUE(ostrel.Enabled(id));
    }
    ostrel.Click(IDC_BUTTON_SCAN);
    EXPECT_EQ(ostrel.Log(), kNoDevice);
    ostrel.Click(IDOK);
    EXPECT_EQ(ostrel.Log(), std::string(kNoDevice) + "\r\nDisable device power save fail!");
  }
}

// The ways a user closes the dialog; the first two end a stuck Scan too.
// clang-format off
const struct Close { const char* label; void (*close)(const OstrelSession& ostrel); } kCloses[] = {
    {"Cancel", [](const OstrelSession& ostrel) { ostrel.PostClick(IDCANCEL); }},
    {"Escape", [](const OstrelSession& ostrel) { ostrel.PostKey(VK_ESCAPE); }},
    {"close box", [](const OstrelSession& ostrel) { ostrel.PostSysCommand(SC_CLOSE); }},
    {"WM_CLOSE", [](const OstrelSession& ostrel) { ::PostMessageA(ostrel.Dialog(), WM_CLOSE, 0, 0); }},
};
// clang-format on

// The About box opens modal to the dialog and leaves the choice; then OK and
// Enter apply it and keep the dialog open.
TEST(Lifecycle, TheAboutBoxIsModalAndOkAndEnterApplyAndKeepTheDialogOpen) {
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
  const std::string once = std::string(kScannedOn) + "\r\nDisable device power save success!";
  ostrel.Click(IDOK);
  EXPECT_EQ(ostrel.Log(), once);
  ostrel.PostKey(VK_RETURN);
  EXPECT_TRUE(ostrel.WaitForLog(once + "\r\nDisable device power save success!"));
  EXPECT_TRUE(ostrel.Visible());
  EXPECT_EQ(ostrel.WaitForExit(500), -1);
}

// Two copies at one slow adapter: the second starts while the first runs, and
// a Scan in one and an OK in the other at once wait for each other.
TEST(Lifecycle, TwoProgramsTakeTurnsAtTheAdapter) {
  SimCase sim;
  const std::string profile =
      sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off\ndelay_ms = 300"));
  OstrelSession scanning(SimCase::OstrelExe(), profile);
  OstrelSession applying(SimCase::OstrelExe(), profile);
  ASSERT_TRUE(scanning.WaitForFirstScan());
  ASSERT_TRUE(applying.WaitForFirstScan());
  EXPECT_NE(scanning.Dialog(), applying.Dialog());
  scanning.PostClick(IDC_BUTTON_SCAN);
  applying.PostClick(IDOK);
  EXPECT_TRUE(
      applying.WaitForLog(std::string(kScannedOff) + "\r\nDisable device power save success!"));
  EXPECT_TRUE(scanning.WaitForLog(kScannedOff));
  const Lines scan = {"GetPLCType", "GetLocalDevInfo", "GetLocalPIB"};
  const Lines apply = {"GetLocalPIB", "WriteLocalPIB", "ResetLocalDev"};
  auto then = [](Lines first, const Lines& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
  };
  const Lines firstScans = then(scan, scan);
  Lines calls; // the entry point of each trace line
  for (const std::string& line : sim.Trace())
    calls.push_back(line.substr(0, line.find(' ')));
  EXPECT_TRUE(calls == then(then(firstScans, scan), apply) ||
              calls == then(then(firstScans, apply), scan))
      << ::testing::PrintToString(calls);
}

// A library that pumps window messages inside its calls: a Scan, an OK or a
// radio click that arrives meanwhile does nothing.
TEST(Lifecycle, ClicksThatArriveWhileTheLibraryPumpsDoNothing) {
  SimCase sim;
  OstrelSession ostrel(
      SimCase::OstrelExe(),
      sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off\npump_ms = 1000")));
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  ASSERT_EQ(ostrel.Log(), kScannedOff);
  // OK reads, pumping: a Scan, a second OK and a radio click come meanwhile.
  ostrel.Click(IDC_RADIO_ON);
  for (int id : {IDOK, IDC_BUTTON_SCAN, IDOK, IDC_RADIO_OFF})
    ostrel.PostClick(id);
  EXPECT_TRUE(
      ostrel.WaitForLog(std::string(kScannedOff) + "\r\nEnable device power save success!"));
  EXPECT_TRUE(ostrel.Checked(IDC_RADIO_ON));
  EXPECT_FALSE(ostrel.Checked(IDC_RADIO_OFF));
  EXPECT_EQ(sim.TraceCount("GetPLCType"), 1u);
  EXPECT_EQ(sim.TraceCount("WriteLocalPIB "), 1u);
  // A Scan reads what was written, pumping: an OK meanwhile writes nothing.
  ostrel.PostClick(IDC_BUTTON_SCAN);
  ostrel.PostClick(IDOK);
  EXPECT_TRUE(ostrel.WaitForLog(kScannedOn));
  // Handled once the Scan is over, after anything the Scan left queued.
  ostrel.Click(IDC_RADIO_ON);
  EXPECT_EQ(ostrel.Log(), kScannedOn);
  EXPECT_EQ(sim.TraceCount("WriteLocalPIB "), 1u);
  EXPECT_EQ(sim.TraceCount("OVERLAP"), 0u);
  EXPECT_TRUE(ostrel.Visible());
}

// A program whose first read never returns holds the adapter.
struct Holder {
  Holder(SimCase& sim)
      : session(SimCase::OstrelExe(),
                sim.WriteProfile(std::string(kBroadcomOn) + "\nhang = BrcmGetParam", "hang.sim")) {
    EXPECT_TRUE(WaitUntil([&] { return sim.TraceCount("HANG") == 1; }));
  }
  ~Holder() {
    session.Click(IDCANCEL);
    EXPECT_EQ(session.WaitForExit(5000), 0);
  }
  OstrelSession session;
};

TEST(Lifecycle, WhileAnotherProgramKeepsTheAdapterScanAndOkFailAfterWaiting) {
  SimCase sim;
  // Long enough for the line that says the dialog waits.
  constexpr DWORD kWaitMs = 4000;
  sim.ShortenDialogWait(kWaitMs);
  const std::string profile = sim.WriteProfile(kBroadcomOn);
  OstrelSession waiting(SimCase::OstrelExe(), profile);
  ASSERT_TRUE(waiting.WaitForFirstScan());
  std::optional<OstrelSession> late;
  {
    // The same adapter, but this program's first read never returns; once it
    // ends with its scan still hung, the adapter is free again.
    Holder holder(sim);
    const DWORD start = ::GetTickCount();
    late.emplace(SimCase::OstrelExe(), profile);
    ASSERT_TRUE(late->Started());
    waiting.PostClick(IDOK);
    EXPECT_TRUE(late->WaitForLog("Scanning device..."));
    EXPECT_TRUE(late->WaitForLog(kNoDevice));
    EXPECT_TRUE(waiting.WaitForLog(std::string(kScannedOn) + "\r\n" + kWaiting +
                                   "\r\nEnable device power save fail!"));
    EXPECT_GE(::GetTickCount() - start, kWaitMs);
    EXPECT_FALSE(late->Checked(IDC_RADIO_ON));
    EXPECT_TRUE(late->Enabled(IDC_RADIO_ON));
    EXPECT_EQ(sim.TraceCount("GetPLCType"), 2u);
    EXPECT_EQ(sim.TraceCount("BrcmSetParam"), 0u);
  }
  late->Click(IDC_BUTTON_SCAN);
  EXPECT_EQ(late->Log(), kScannedOn);
}

// Off chosen and OK pressed while a Holder keeps the adapter: the dialog
// waits, and says so.
void PressOkWhileHeld(const OstrelSession& waiting) {
  waiting.Click(IDC_RADIO_OFF);
  waiting.PostClick(IDOK);
  ASSERT_TRUE(waiting.WaitForLog(std::string(kScannedOn) + "\r\n" + kWaiting, 10000));
}

// Cancel, Escape and the close box end the process with exit code 0. A close
// of any kind during OK's wait for the adapter ends the wait at once: nothing
// is written, and the dialog ends.
TEST(Lifecycle, ACloseEndsTheProcessAlsoDuringOksWaitAndWritesNothing) {
  // How long a close takes when nothing waits: about 2 s under Wine.
  DWORD plainClose = 0;
  for (const Close& c : {kCloses[0], kCloses[1], kCloses[2]}) {
    SimCase sim;
    OstrelSession plain(SimCase::OstrelExe(), sim.WriteProfile(kBroadcomOn));
    ASSERT_TRUE(plain.WaitForFirstScan());
    const DWORD start = ::GetTickCount();
    c.close(plain);
    ASSERT_EQ(plain.WaitForExit(), 0) << c.label;
    plainClose = std::max<DWORD>(plainClose, ::GetTickCount() - start);
  }
  for (const Close& c : kCloses) {
    SimCase sim;
    OstrelSession waiting(SimCase::OstrelExe(), sim.WriteProfile(kBroadcomOn));
    ASSERT_TRUE(waiting.WaitForFirstScan());
    Holder holder(sim);
    ASSERT_NO_FATAL_FAILURE(PressOkWhileHeld(waiting)) << c.label;
    // At once: the 30 s that the wait would otherwise go on are far beyond
    // what a loaded machine adds to a plain close.
    const DWORD start = ::GetTickCount();
    c.close(waiting);
    EXPECT_EQ(waiting.WaitForExit(plainClose + 10000), 0) << c.label;
    EXPECT_LT(::GetTickCount() - start, plainClose + 10000) << c.label;
    EXPECT_EQ(sim.TraceCount("BrcmSetParam"), 0u) << c.label;
  }
}

// The dialog's answer to WM_QUERYENDSESSION, -1 when none comes.
int QueryEndSession(const OstrelSession& ostrel) {
  DWORD_PTR answer = 0;
  return ::SendMessageTimeoutA(ostrel.Dialog(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000,
                               &answer)
             ? static_cast<int>(answer)
             : -1;
}

// The session's end is agreed to during the wait for the adapter, and then
// no write starts; when another program cancels it, one line says so. During
// the write it is refused, and a close then waits for the write.
TEST(Lifecycle, TheSessionsEndStopsAWaitAndWaitsForAWrite) {
  SimCase sim;
  {
    OstrelSession waiting(SimCase::OstrelExe(), sim.WriteProfile(kBroadcomOn));
    ASSERT_TRUE(waiting.WaitForFirstScan());
    const std::string waited = std::string(kScannedOn) + "\r\n" + kWaiting +
                               "\r\nThe wait for the adapter ended for a logoff or shutdown "
                               "that was then cancelled; nothing was done.";
    {
      Holder holder(sim);
      ASSERT_NO_FATAL_FAILURE(PressOkWhileHeld(waiting));
      EXPECT_EQ(QueryEndSession(waiting), TRUE);
      DWORD_PTR answer = 0;
      ::SendMessageTimeoutA(waiting.Dialog(), WM_ENDSESSION, FALSE, 0, SMTO_NORMAL, 5000, &answer);
      EXPECT_TRUE(waiting.WaitForLog(waited));
    }
  }
  EXPECT_EQ(sim.TraceCount("BrcmSetParam"), 0u);

  OstrelSession writing(
      SimCase::OstrelExe(),
      sim.WriteProfile(std::string(kBroadcomOn) + "\npump_ms = 1500", "pump.sim"));
  ASSERT_TRUE(writing.WaitForFirstScan());
  const std::size_t reads = sim.TraceCount("BrcmGetParam");
  writing.Click(IDC_RADIO_OFF);
  writing.PostClick(IDOK);
  ASSERT_TRUE(WaitUntil([&] { return sim.TraceCount("BrcmGetParam") > reads; }));
  EXPECT_EQ(QueryEndSession(writing), FALSE);
  writing.PostClick(IDCANCEL);
  EXPECT_EQ(writing.WaitForExit(10000), 0);
  EXPECT_EQ(sim.TraceCount("BrcmSetParam"), 1u);
}

// A Cancel, or an Escape that no dialog key handling sees, while a Scan's
// call pumps messages and does not return in time ends the process within
// the grace time; a scan only reads.
TEST(Lifecycle, CancelDuringAStuckScanEndsTheProcess) {
  for (const Close& c : {kCloses[0], kCloses[1]}) {
    SimCase sim;
    OstrelSession ostrel(SimCase::OstrelExe(),
                         sim.WriteProfile(std::string(kBroadcomOn) + "\npump_ms = 4000"));
    ASSERT_TRUE(ostrel.WaitForFirstScan());
    const std::size_t reads = sim.TraceCount("BrcmGetParam");
    ostrel.PostClick(IDC_BUTTON_SCAN);
    ASSERT_TRUE(WaitUntil([&] { return sim.TraceCount("GetPLCType") == 2; }));
    const DWORD start = ::GetTickCount();
    c.close(ostrel);
    EXPECT_EQ(ostrel.WaitForExit(4000), 0) << c.label;
    EXPECT_LT(::GetTickCount() - start, 4000u) << c.label;
    EXPECT_EQ(sim.TraceCount("BrcmGetParam"), reads) << c.label;
  }
}

// A path in the log pane keeps every character, whatever the ANSI code page:
// read back through the wide call.
TEST(Lifecycle, TheLogPaneShowsAPathAsWritten) {
  SimCase sim;
  const std::string profileFolder = "J\xC3\xB6s\xC3\xA9";
  ASSERT_TRUE(MakeFolders(sim, profileFolder + "\\Ostrel"));
  std::wstring appdata;
  ASSERT_TRUE(WideFromUtf8(sim.Path(profileFolder), appdata));
  ::SetEnvironmentVariableW(L"LOCALAPPDATA", appdata.c_str());
  // A history that holds a NUL byte is moved aside, and the pane names where.
  std::string error;
  ASSERT_EQ(WriteFileWhole(sim.Path(profileFolder + "\\Ostrel\\history.txt"), {'a', 0, 'b'}, false,
                           error),
            WriteFileResult::Written)
      << error;
  OstrelSession ostrel(SimCase::OstrelExe(),
                       sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off")));
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  ostrel.Apply(IDC_RADIO_ON);
  const HWND pane = ::GetDlgItem(ostrel.Dialog(), IDC_EDIT_LOG);
  std::wstring text(4096, L'\0');
  DWORD_PTR copied = 0;
  ::SendMessageTimeoutW(pane, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_BLOCK, 30000, &copied);
  text.resize(copied);
  const std::string shown = Utf8FromWide(text);
  const std::string moved =
      "\r\nThe history was moved aside to " + sim.Path(profileFolder) + "\\Ostrel\\history-";
  EXPECT_NE(shown.find(moved), std::string::npos) << shown;
}
} // namespace
