#pragma once
// The dialog's use of the adapter: who has it (the first scan, a Scan, an
// OK), and what a press, a close or the session's end does meanwhile. Events
// in, decisions out; the dialog carries the decisions out. Touched on the
// dialog's thread only: the first scan's worker reports by posted message.

#include <cstdint>

class AdapterUse {
public:
  enum class Button { Ok, Scan };

  // What the dialog does now.
  enum class Act {
    Nothing,
    // The adapter is the press's now: show the wait cursor and run it.
    BeginUse,
    // Read the radio buttons into the choice.
    TakeChoice,
    OpenAbout,
    CloseNow,
    // The close is taken up when the use ends.
    CloseWhenDone,
    // As CloseWhenDone; meanwhile a watchdog ends the process when the
    // Scan's call does not return in time.
    WatchScanThenClose,
    // Hide, and end the process when the first scan does not end in time.
    HideUntilFirstScanEnds,
    // The first scan is over: take the choice, enable Scan and OK.
    EnableControls,
    // After a wait for the lock: use the adapter.
    Go,
    // After a wait for the lock: nothing is done.
    Stop,
    // Show that a wait ended for a session's end that was then cancelled
    // (after a wait: nothing is done).
    SaySessionGoesOn,
  };

  // What the end of a Scan or an OK leaves to do, in this order.
  struct UseEnd {
    // A radio click was dropped meanwhile: set the buttons back to the choice.
    bool setBackRadios = false;
    // Posted, so that the operation's own log line comes first.
    bool openAbout = false;
    bool close = false;
  };

  void FirstScanStarts();
  Act FirstScanEnds();

  // OK or Scan. `messageTime` is the press's message time in milliseconds on
  // the tick counter; `sent` says that the press came from another thread,
  // which gives the message no time of its own.
  Act Pressed(Button button, uint32_t messageTime, bool sent);
  Act RadioClicked();
  Act AboutAsked();
  // Cancel, Escape or the close box.
  Act Close();

  // Asked while the use waits for the lock: whether the wait ends unheld.
  bool StopsWait() const;
  // The wait for the lock is over; `stopped`: StopsWait ended it.
  Act WaitEnds(bool stopped);
  void WriteStarts();
  // `now`: the tick counter when the write ended.
  void WriteEnds(uint32_t now);
  UseEnd UseEnds();

  // WM_QUERYENDSESSION: whether the session may end.
  bool QueryEndSession();
  // WM_ENDSESSION: `ending` false when the session goes on after all.
  Act EndSession(bool ending);

  // True once, the first time the line that copies were moved is due.
  bool MoveLineDue();

  bool FirstScanRunning() const { return m_firstScanRunning; }
  // A Scan or an OK has the adapter.
  bool Busy() const { return m_use != Use::None; }
  // Closed during the first scan: the window stays hidden.
  bool Hidden() const { return m_closeAfterFirstScan; }

private:
  enum class Use { None, Scan, Ok };

  bool m_firstScanRunning = false;
  bool m_closeAfterFirstScan = false;
  Use m_use = Use::None;
  // OK's write and the reset after it run.
  bool m_writing = false;
  bool m_aboutRequested = false;
  bool m_radioClickDropped = false;
  // A close came during a use: a wait for the lock ends, a write is finished
  // first, then the dialog closes.
  bool m_closeRequested = false;
  // The session's end was agreed to: no write starts.
  bool m_sessionEnding = false;
  // The session's end was agreed to during this use's wait for the lock: the
  // wait ends, even when the cancel comes in the same round of messages.
  bool m_waitCutForSession = false;
  // A wait ended because the session's end was agreed to; when the end is
  // then cancelled, the log pane says so.
  bool m_waitEndedForSession = false;
  bool m_wrote = false;
  uint32_t m_lastWriteEnd = 0;
  bool m_moveShown = false;
};
