// What each press, close, session message and end of a wait or a use does
// in each state of the dialog's use of the adapter. A state is the events
// that lead to it, from a dialog that was just created.
#include "app/AdapterUse.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {
using Act = AdapterUse::Act;
using Button = AdapterUse::Button;
using Step = void (*)(AdapterUse&);
using Steps = std::vector<Step>;

// The tick count when the writes below end.
constexpr uint32_t kWriteEnd = 100000;

void Start(AdapterUse& use) {
  use.FirstScanStarts();
}
void FirstScanOver(AdapterUse& use) {
  use.FirstScanEnds();
}
void PressOk(AdapterUse& use) {
  use.Pressed(Button::Ok, kWriteEnd, false);
}
void PressScan(AdapterUse& use) {
  use.Pressed(Button::Scan, kWriteEnd, false);
}
void ClickRadio(AdapterUse& use) {
  use.RadioClicked();
}
void AskAbout(AdapterUse& use) {
  use.AboutAsked();
}
void Close(AdapterUse& use) {
  use.Close();
}
void LockTaken(AdapterUse& use) {
  use.WaitEnds(false);
}
void StartWrite(AdapterUse& use) {
  use.WriteStarts();
}
void EndWrite(AdapterUse& use) {
  use.WriteEnds(kWriteEnd);
}
void EndUse(AdapterUse& use) {
  use.UseEnds();
}
void QueryEnd(AdapterUse& use) {
  use.QueryEndSession();
}
void SessionEnds(AdapterUse& use) {
  use.EndSession(true);
}
void SessionGoesOn(AdapterUse& use) {
  use.EndSession(false);
}
// A wait that StopsWait ended.
void WaitStopped(AdapterUse& use) {
  use.WaitEnds(true);
}

Steps Then(Steps steps, std::initializer_list<Step> more) {
  steps.insert(steps.end(), more);
  return steps;
}

const Steps kFirstScan = {Start};
const Steps kFree = {Start, FirstScanOver};
const Steps kScanning = Then(kFree, {PressScan});
// OK waits for the lock.
const Steps kOkWaiting = Then(kFree, {PressOk});
const Steps kWriting = Then(kOkWaiting, {LockTaken, StartWrite});
// Free again after a write that ended at kWriteEnd.
const Steps kWrote = Then(kWriting, {EndWrite, EndUse});
// The session's end was agreed to during OK's wait, which it ended.
const Steps kWaitEndedForSession = Then(kOkWaiting, {QueryEnd, WaitStopped, EndUse});

AdapterUse Reach(const Steps& steps) {
  AdapterUse use;
  for (Step step : steps)
    step(use);
  return use;
}

TEST(AdapterUse, OkAndScanTakeTheAdapterOnlyWhenItIsFreeAndThePressCameAfterTheLastWrite) {
  const struct {
    const char* name;
    Steps state;
    Button button;
    uint32_t time;
    bool sent;
    Act act;
  } cases[] = {
      {"OK when free", kFree, Button::Ok, 0, false, Act::BeginUse},
      {"Scan when free", kFree, Button::Scan, 0, false, Act::BeginUse},
      {"OK during the first scan", kFirstScan, Button::Ok, 0, false, Act::Nothing},
      {"Scan during the first scan", kFirstScan, Button::Scan, 0, false, Act::Nothing},
      {"OK during a Scan", kScanning, Button::Ok, 0, false, Act::Nothing},
      {"Scan during a Scan", kScanning, Button::Scan, 0, false, Act::Nothing},
      {"Scan during OK's wait for the lock", kOkWaiting, Button::Scan, 0, false, Act::Nothing},
      {"OK during a write", kWriting, Button::Ok, 0, false, Act::Nothing},
      {"before any write, no time is too early", kFree, Button::Ok, 0x80000000u, false,
       Act::BeginUse},
      {"OK queued during the write", kWrote, Button::Ok, kWriteEnd - 1, false, Act::Nothing},
      {"Scan queued during the write", kWrote, Button::Scan, kWriteEnd - 1, false, Act::Nothing},
      {"OK at the write's end", kWrote, Button::Ok, kWriteEnd, false, Act::BeginUse},
      {"Scan after the write's end", kWrote, Button::Scan, kWriteEnd + 1, false, Act::BeginUse},
      {"OK sent from another thread has no time", kWrote, Button::Ok, kWriteEnd - 1, true,
       Act::BeginUse},
      // The difference is taken as signed 32 bits.
      {"OK 2^31 ms after the write's end", kWrote, Button::Ok, kWriteEnd + 0x80000000u, false,
       Act::Nothing},
  };
  for (const auto& c : cases) {
    AdapterUse use = Reach(c.state);
    const bool busy = use.Busy();
    EXPECT_EQ(use.Pressed(c.button, c.time, c.sent), c.act) << c.name;
    EXPECT_EQ(use.Busy(), c.act == Act::BeginUse || busy) << c.name;
  }
}

TEST(AdapterUse, RadioClicksAndAboutWaitForTheAdapterToBeFree) {
  const struct {
    const char* name;
    Steps state;
    Act (AdapterUse::*event)();
    Act act;
    AdapterUse::UseEnd end; // what the use then leaves to do
  } cases[] = {
      {"radio when free", kFree, &AdapterUse::RadioClicked, Act::TakeChoice, {}},
      // Taken by EnableControls when the first scan ends.
      {"radio during the first scan", kFirstScan, &AdapterUse::RadioClicked, Act::Nothing, {}},
      {"radio during a Scan", kScanning, &AdapterUse::RadioClicked, Act::Nothing, {true}},
      {"radio during a write", kWriting, &AdapterUse::RadioClicked, Act::Nothing, {true}},
      {"About when free", kFree, &AdapterUse::AboutAsked, Act::OpenAbout, {}},
      {"About during the first scan", kFirstScan, &AdapterUse::AboutAsked, Act::OpenAbout, {}},
      {"About during a Scan", kScanning, &AdapterUse::AboutAsked, Act::Nothing, {false, true}},
      {"About during OK's wait", kOkWaiting, &AdapterUse::AboutAsked, Act::Nothing, {false, true}},
  };
  for (const auto& c : cases) {
    AdapterUse use = Reach(c.state);
    EXPECT_EQ((use.*c.event)(), c.act) << c.name;
    const AdapterUse::UseEnd end = use.UseEnds();
    EXPECT_EQ(end.setBackRadios, c.end.setBackRadios) << c.name;
    EXPECT_EQ(end.openAbout, c.end.openAbout) << c.name;
    EXPECT_FALSE(end.close) << c.name;
  }
}

TEST(AdapterUse, ACloseEndsTheDialogOnceTheAdapterIsFree) {
  const struct {
    const char* name;
    Steps state;
    Act act;
    bool closesAtUseEnd;
  } cases[] = {
      {"when free", kFree, Act::CloseNow, false},
      {"during the first scan", kFirstScan, Act::HideUntilFirstScanEnds, false},
      {"again during the first scan", Then(kFirstScan, {Close}), Act::HideUntilFirstScanEnds,
       false},
      {"during a Scan", kScanning, Act::WatchScanThenClose, true},
      {"during OK's wait for the lock", kOkWaiting, Act::CloseWhenDone, true},
      {"during a write", kWriting, Act::CloseWhenDone, true},
      {"during OK after its write", Then(kWriting, {EndWrite}), Act::CloseWhenDone, true},
  };
  for (const auto& c : cases) {
    AdapterUse use = Reach(c.state);
    EXPECT_EQ(use.Close(), c.act) << c.name;
    EXPECT_EQ(use.Hidden(), c.act == Act::HideUntilFirstScanEnds) << c.name;
    EXPECT_EQ(use.UseEnds().close, c.closesAtUseEnd) << c.name;
  }
}

TEST(AdapterUse, TheFirstScansEndClosesAHiddenDialogOrEnablesTheControls) {
  const struct {
    const char* name;
    Steps state;
    Act act;
  } cases[] = {
      {"not closed", kFirstScan, Act::EnableControls},
      {"closed meanwhile", Then(kFirstScan, {Close}), Act::CloseNow},
      {"closed and a radio clicked meanwhile", Then(kFirstScan, {ClickRadio, Close}),
       Act::CloseNow},
  };
  for (const auto& c : cases) {
    AdapterUse use = Reach(c.state);
    EXPECT_TRUE(use.FirstScanRunning()) << c.name;
    EXPECT_EQ(use.FirstScanEnds(), c.act) << c.name;
    EXPECT_FALSE(use.FirstScanRunning()) << c.name;
  }
}

TEST(AdapterUse, TheEndOfAUseOwesWhatCameMeanwhileOnce) {
  const struct {
    const char* name;
    Steps state;
    bool setBackRadios, openAbout, close;
  } cases[] = {
      {"nothing came", kScanning, false, false, false},
      {"all came during a write", Then(kWriting, {ClickRadio, AskAbout, Close}), true, true, true},
      {"the next use", Then(kScanning, {ClickRadio, AskAbout, EndUse, PressOk}), false, false,
       false},
  };
  for (const auto& c : cases) {
    AdapterUse use = Reach(c.state);
    const AdapterUse::UseEnd end = use.UseEnds();
    EXPECT_EQ(end.setBackRadios, c.setBackRadios) << c.name;
    EXPECT_EQ(end.openAbout, c.openAbout) << c.name;
    EXPECT_EQ(end.close, c.close) << c.name;
    EXPECT_FALSE(use.Busy()) << c.name;
  }
}

// StopsWait is asked while the wait goes on; WaitEnds gets whether it ended
// the wait.
TEST(AdapterUse, ACloseOrTheSessionsEndStopsAWaitForTheLock) {
  const struct {
    const char* name;
    Steps state;
    bool stops;
    bool stopped;
    Act act;
  } cases[] = {
      {"a Scan's wait", kScanning, false, false, Act::Go},
      {"OK's wait", kOkWaiting, false, false, Act::Go},
      {"a Scan's wait, closed", Then(kScanning, {Close}), true, true, Act::Stop},
      {"OK's wait, closed", Then(kOkWaiting, {Close}), true, true, Act::Stop},
      // Closed in the round of messages in which the lock was taken.
      {"OK's wait, closed as the lock came", Then(kOkWaiting, {Close}), true, false, Act::Stop},
      {"a Scan's wait, closed as the lock came", Then(kScanning, {Close}), true, false, Act::Go},
      // Remembered for a cancel of the session's end.
      {"OK's wait, session ending", Then(kOkWaiting, {QueryEnd}), true, true, Act::Stop},
      {"a Scan's wait, session ending", Then(kScanning, {QueryEnd}), true, true, Act::Stop},
      {"OK's wait, session ending as the lock came", Then(kOkWaiting, {QueryEnd}), true, false,
       Act::Stop},
      {"OK's wait, session ended", Then(kOkWaiting, {QueryEnd, SessionEnds}), true, true,
       Act::Stop},
      // The cancel came in the same round of messages as the agreement.
      {"OK's wait, session's end cancelled", Then(kOkWaiting, {QueryEnd, SessionGoesOn}), true,
       true, Act::SaySessionGoesOn},
      {"OK's wait, session's end cancelled as the lock came",
       Then(kOkWaiting, {QueryEnd, SessionGoesOn}), true, false, Act::SaySessionGoesOn},
      {"a Scan's wait, session's end cancelled as the lock came",
       Then(kScanning, {QueryEnd, SessionGoesOn}), true, false, Act::Go},
      // No write starts while the session ends.
      {"OK's wait begun while the session ends", Then(kFree, {QueryEnd, PressOk}), true, true,
       Act::Stop},
      {"OK's wait begun after a cancelled session's end",
       Then(kFree, {QueryEnd, SessionGoesOn, PressOk}), false, false, Act::Go},
      {"a Scan's wait after OK's wait ended for the session",
       Then(kWaitEndedForSession, {SessionGoesOn, PressScan}), false, false, Act::Go},
  };
  for (const auto& c : cases) {
    AdapterUse use = Reach(c.state);
    EXPECT_EQ(use.StopsWait(), c.stops) << c.name;
    EXPECT_EQ(use.WaitEnds(c.stopped), c.act) << c.name;
  }
}

TEST(AdapterUse, TheSessionEndsUnlessAWriteRunsAndACancelAfterAStoppedWaitIsSaid) {
  const struct {
    const char* name;
    Steps state;
    bool agreed;
    bool ending; // the WM_ENDSESSION that follows
    Act act;
  } cases[] = {
      {"free", kFree, true, false, Act::Nothing},
      {"during the first scan", kFirstScan, true, false, Act::Nothing},
      {"during OK's wait", kOkWaiting, true, false, Act::Nothing},
      {"during a write", kWriting, false, false, Act::Nothing},
      {"after a wait it ended, cancelled", kWaitEndedForSession, true, false,
       Act::SaySessionGoesOn},
      {"after a wait it ended, ending", kWaitEndedForSession, true, true, Act::Nothing},
      {"after a wait it ended, said once", Then(kWaitEndedForSession, {SessionGoesOn}), true, false,
       Act::Nothing},
      {"after a wait it ended, ended", Then(kWaitEndedForSession, {SessionEnds}), true, false,
       Act::Nothing},
  };
  for (const auto& c : cases) {
    AdapterUse use = Reach(c.state);
    EXPECT_EQ(use.QueryEndSession(), c.agreed) << c.name;
    EXPECT_EQ(use.EndSession(c.ending), c.act) << c.name;
  }
}

// A refused end leaves writes free to start.
TEST(AdapterUse, AnEndRefusedDuringAWriteStopsNoLaterWait) {
  AdapterUse use = Reach(Then(kWriting, {QueryEnd, EndWrite, EndUse, PressOk}));
  EXPECT_FALSE(use.StopsWait());
  EXPECT_EQ(use.WaitEnds(false), Act::Go);
}

TEST(AdapterUse, TheMoveLineIsDueOnce) {
  AdapterUse use;
  EXPECT_TRUE(use.MoveLineDue());
  EXPECT_FALSE(use.MoveLineDue());
}
} // namespace
