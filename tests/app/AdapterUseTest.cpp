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
using UseEnd = AdapterUse::UseEnd;
using Step = void (*)(AdapterUse&);
using Steps = std::vector<Step>;

// The tick count when the writes below end.
constexpr uint32_t kWriteEnd = 100000;

// clang-format off
void Start(AdapterUse& use) { use.FirstScanStarts(); }
void FirstScanOver(AdapterUse& use) { use.FirstScanEnds(); }
void PressOk(AdapterUse& use) { use.Pressed(Button::Ok, kWriteEnd, false); }
void PressScan(AdapterUse& use) { use.Pressed(Button::Scan, kWriteEnd, false); }
void ClickRadio(AdapterUse& use) { use.RadioClicked(); }
void AskAbout(AdapterUse& use) { use.AboutAsked(); }
void Close(AdapterUse& use) { use.Close(); }
void LockTaken(AdapterUse& use) { use.WaitEnds(false); }
void StartWrite(AdapterUse& use) { use.WriteStarts(); }
void EndWrite(AdapterUse& use) { use.WriteEnds(kWriteEnd); }
void EndUse(AdapterUse& use) { use.UseEnds(); }
void QueryEnd(AdapterUse& use) { use.QueryEndSession(); }
void SessionEnds(AdapterUse& use) { use.EndSession(true); }
void SessionGoesOn(AdapterUse& use) { use.EndSession(false); }
// A wait that StopsWait ended.
void WaitStopped(AdapterUse& use) { use.WaitEnds(true); }

Steps Then(Steps steps, std::initializer_list<Step> more) { steps.insert(steps.end(), more); return steps; }

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

AdapterUse Reach(const Steps& steps) { AdapterUse use; for (Step step : steps) step(use); return use; }

TEST(AdapterUse, OkAndScanTakeTheAdapterOnlyWhenItIsFreeAndThePressCameAfterTheLastWrite) {
  const struct { const char* name; Steps state; Button button; uint32_t time; bool sent; Act act; } cases[] = {
      {"OK when free", kFree, Button::Ok, 0, false, Act::BeginUse},
      {"Scan when free", kFree, Button::Scan, 0, false, Act::BeginUse},
      {"OK during the first scan", kFirstScan, Button::Ok, 0, false, Act::Nothing},
      {"Scan during the first scan", kFirstScan, Button::Scan, 0, false, Act::Nothing},
      {"OK during a Scan", kScanning, Button::Ok, 0, false, Act::Nothing},
      {"Scan during a Scan", kScanning, Button::Scan, 0, false, Act::Nothing},
      {"Scan during OK's wait for the lock", kOkWaiting, Button::Scan, 0, false, Act::Nothing},
      {"OK during a write", kWriting, Button::Ok, 0, false, Act::Nothing},
      {"before any write, no time is too early", kFree, Button::Ok, 0x80000000u, false, Act::BeginUse},
      {"OK queued during the write", kWrote, Button::Ok, kWriteEnd - 1, false, Act::Nothing},
      {"Scan queued during the write", kWrote, Button::Scan, kWriteEnd - 1, false, Act::Nothing},
      {"OK at the write's end", kWrote, Button::Ok, kWriteEnd, false, Act::BeginUse},
      {"Scan after the write's end", kWrote, Button::Scan, kWriteEnd + 1, false, Act::BeginUse},
      {"OK sent from another thread has no time", kWrote, Button::Ok, kWriteEnd - 1, true, Act::BeginUse},
      // The difference is taken as signed 32 bits.
      {"OK 2^31 ms after the write's end", kWrote, Button::Ok, kWriteEnd + 0x80000000u, false, Act::Nothing},
  };
  for (const auto& c : cases) {
    AdapterUse use = Reach(c.state);
    const bool busy = use.Busy();
    EXPECT_EQ(use.Pressed(c.button, c.time, c.sent), c.act) << c.name;
    EXPECT_EQ(use.Busy(), c.act == Act::BeginUse || busy) << c.name;
  }
}

// A radio click or About waits for the adapter to be free; a close ends the
// dialog once it is, and the first scan's end closes a hidden one. What came
// meanwhile is owed once, by the end of the use, which leaves the adapter free.
TEST(AdapterUse, RadioAboutAndCloseWaitForTheAdapterAndTheUseEndOwesThemOnce) {
  const auto radio = &AdapterUse::RadioClicked, about = &AdapterUse::AboutAsked;
  const auto close = &AdapterUse::Close, scanEnds = &AdapterUse::FirstScanEnds;
  // `event` none: the use just ends; `end`: setBackRadios, openAbout, close.
  const struct { const char* name; Steps state; Act (AdapterUse::*event)(); Act act; UseEnd end; } cases[] = {
      {"radio when free", kFree, radio, Act::TakeChoice, {}},
      // Taken by EnableControls when the first scan ends.
      {"radio during the first scan", kFirstScan, radio, Act::Nothing, {}},
      {"radio during a Scan", kScanning, radio, Act::Nothing, {1}},
      {"radio during a write", kWriting, radio, Act::Nothing, {1}},
      {"About when free", kFree, about, Act::OpenAbout, {}},
      {"About during the first scan", kFirstScan, about, Act::OpenAbout, {}},
      {"About during a Scan", kScanning, about, Act::Nothing, {0, 1}},
      {"About during OK's wait", kOkWaiting, about, Act::Nothing, {0, 1}},
      {"close when free", kFree, close, Act::CloseNow, {}},
      {"close during the first scan", kFirstScan, close, Act::HideUntilFirstScanEnds, {}},
      {"close again during the first scan", Then(kFirstScan, {Close}), close, Act::HideUntilFirstScanEnds, {}},
      {"close during a Scan", kScanning, close, Act::WatchScanThenClose, {0, 0, 1}},
      {"close during OK's wait for the lock", kOkWaiting, close, Act::CloseWhenDone, {0, 0, 1}},
      {"close during a write", kWriting, close, Act::CloseWhenDone, {0, 0, 1}},
      {"close during OK after its write", Then(kWriting, {EndWrite}), close, Act::CloseWhenDone, {0, 0, 1}},
      {"first scan's end, not closed", kFirstScan, scanEnds, Act::EnableControls, {}},
      {"first scan's end, closed meanwhile", Then(kFirstScan, {Close}), scanEnds, Act::CloseNow, {}},
      {"first scan's end, radio, close", Then(kFirstScan, {ClickRadio, Close}), scanEnds, Act::CloseNow, {}},
      {"nothing came", kScanning, nullptr, Act::Nothing, {}},
      {"all came during a write", Then(kWriting, {ClickRadio, AskAbout, Close}), nullptr, Act::Nothing,
       {1, 1, 1}},
      {"the next use", Then(kScanning, {ClickRadio, AskAbout, EndUse, PressOk}), nullptr, Act::Nothing, {}},
  };
  for (const auto& c : cases) {
    AdapterUse use = Reach(c.state);
    const bool firstScan = use.FirstScanRunning();
    if (c.event != nullptr) { EXPECT_EQ((use.*c.event)(), c.act) << c.name; }
    if (c.event == close) { EXPECT_EQ(use.Hidden(), c.act == Act::HideUntilFirstScanEnds) << c.name; }
    EXPECT_EQ(firstScan && !use.FirstScanRunning(), c.event == scanEnds) << c.name;
    const UseEnd end = use.UseEnds();
    EXPECT_EQ(end.setBackRadios, c.end.setBackRadios) << c.name;
    EXPECT_EQ(end.openAbout, c.end.openAbout) << c.name;
    EXPECT_EQ(end.close, c.end.close) << c.name;
    EXPECT_FALSE(use.Busy()) << c.name;
  }
}

// While a wait for the lock goes on, StopsWait: whether it ends unheld;
// WaitEnds(stopped) then says what follows. A session's end is asked
// (QueryEndSession: agreed), then told (EndSession(ending)).
TEST(AdapterUse, ACloseOrTheSessionsEndStopsAWaitAndTheSessionEndsUnlessAWriteRuns) {
  enum Asked { Wait, End };
  const Steps okEndCancelled = Then(kOkWaiting, {QueryEnd, SessionGoesOn});
  const struct { const char* name; Steps state; Asked asked; bool answer, told; Act act; } cases[] = {
      {"a Scan's wait", kScanning, Wait, false, false, Act::Go},
      {"OK's wait", kOkWaiting, Wait, false, false, Act::Go},
      {"a Scan's wait, closed", Then(kScanning, {Close}), Wait, true, true, Act::Stop},
      {"OK's wait, closed", Then(kOkWaiting, {Close}), Wait, true, true, Act::Stop},
      // Closed in the round of messages in which the lock was taken.
      {"OK's wait, closed as the lock came", Then(kOkWaiting, {Close}), Wait, true, false, Act::Stop},
      {"a Scan's wait, closed as the lock came", Then(kScanning, {Close}), Wait, true, false, Act::Go},
      // Remembered for a cancel of the session's end.
      {"OK's wait, session ending", Then(kOkWaiting, {QueryEnd}), Wait, true, true, Act::Stop},
      {"a Scan's wait, session ending", Then(kScanning, {QueryEnd}), Wait, true, true, Act::Stop},
      {"OK's wait, ending as the lock came", Then(kOkWaiting, {QueryEnd}), Wait, true, false, Act::Stop},
      {"OK's wait, session ended", Then(kOkWaiting, {QueryEnd, SessionEnds}), Wait, true, true, Act::Stop},
      // The cancel came in the same round of messages as the agreement.
      {"OK's wait, end cancelled", okEndCancelled, Wait, true, true, Act::SaySessionGoesOn},
      {"OK's wait, end cancelled as the lock came", okEndCancelled, Wait, true, false, Act::SaySessionGoesOn},
      {"a Scan's wait, end cancelled as the lock came", Then(kScanning, {QueryEnd, SessionGoesOn}), Wait, true,
       false, Act::Go},
      // No write starts while the session ends.
      {"OK's wait begun while the session ends", Then(kFree, {QueryEnd, PressOk}), Wait, true, true, Act::Stop},
      {"OK's wait begun after a cancelled end", Then(kFree, {QueryEnd, SessionGoesOn, PressOk}), Wait, false,
       false, Act::Go},
      {"a Scan's wait after OK's ended for the session", Then(kWaitEndedForSession, {SessionGoesOn, PressScan}),
       Wait, false, false, Act::Go},
      // A refused end leaves writes free to start.
      {"OK's wait after an end refused during a write", Then(kWriting, {QueryEnd, EndWrite, EndUse, PressOk}),
       Wait, false, false, Act::Go},
      {"end when free", kFree, End, true, false, Act::Nothing},
      {"end during the first scan", kFirstScan, End, true, false, Act::Nothing},
      {"end during OK's wait", kOkWaiting, End, true, false, Act::Nothing},
      {"end during a write", kWriting, End, false, false, Act::Nothing},
      {"end after a wait it ended, cancelled", kWaitEndedForSession, End, true, false, Act::SaySessionGoesOn},
      {"end after a wait it ended, ending", kWaitEndedForSession, End, true, true, Act::Nothing},
      {"end after a wait it ended, said once", Then(kWaitEndedForSession, {SessionGoesOn}), End, true, false,
       Act::Nothing},
      {"end after a wait it ended, ended", Then(kWaitEndedForSession, {SessionEnds}), End, true, false,
       Act::Nothing},
  };
  for (const auto& c : cases) {
    AdapterUse use = Reach(c.state);
    EXPECT_EQ(c.asked == Wait ? use.StopsWait() : use.QueryEndSession(), c.answer) << c.name;
    EXPECT_EQ(c.asked == Wait ? use.WaitEnds(c.told) : use.EndSession(c.told), c.act) << c.name;
  }
}
// clang-format on

TEST(AdapterUse, TheMoveLineIsDueOnce) {
  AdapterUse use;
  EXPECT_TRUE(use.MoveLineDue());
  EXPECT_FALSE(use.MoveLineDue());
}
} // namespace
