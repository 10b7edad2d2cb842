#include "app/AdapterUse.h"

void AdapterUse::FirstScanStarts() {
  m_firstScanRunning = true;
}

AdapterUse::Act AdapterUse::FirstScanEnds() {
  m_firstScanRunning = false;
  return m_closeAfterFirstScan ? Act::CloseNow : Act::EnableControls;
}

// A press queued behind a write is handled only after it: its message time,
// not the handler's, says that it was made before the write ended.
AdapterUse::Act AdapterUse::Pressed(Button button, uint32_t messageTime, bool sent) {
  if (m_wrote && !sent && static_cast<int32_t>(messageTime - m_lastWriteEnd) < 0)
    return Act::Nothing;
  // The first scan owns the adapter until it is done; a click while the
  // library pumps or the lock is awaited finds the adapter in use.
  if (m_firstScanRunning || m_use != Use::None)
    return Act::Nothing;
  m_use = button == Button::Ok ? Use::Ok : Use::Scan;
  // The use's wait for the lock begins: only a cut that comes during it counts.
  m_waitCutForSession = false;
  return Act::BeginUse;
}

// While the first scan runs its worker alone sets the choice; a click made
// meanwhile is taken up when the scan is done. A click during a use is set
// back: OK has already chosen what it writes.
AdapterUse::Act AdapterUse::RadioClicked() {
  if (m_use != Use::None) {
    m_radioClickDropped = true;
    return Act::Nothing;
  }
  return m_firstScanRunning ? Act::Nothing : Act::TakeChoice;
}

// Opened inside a pumping library call, the About box's modal loop would
// keep the call, and the adapter lock, until the box is closed.
AdapterUse::Act AdapterUse::AboutAsked() {
  if (m_use == Use::None)
    return Act::OpenAbout;
  m_aboutRequested = true;
  return Act::Nothing;
}

// During the first scan the dialog only hides: the scan works on it. Inside a
// Scan or an OK the close is taken up when it is over: a wait for the lock
// ends at once, a write and its reset are finished first.
AdapterUse::Act AdapterUse::Close() {
  if (m_firstScanRunning) {
    m_closeAfterFirstScan = true;
    return Act::HideUntilFirstScanEnds;
  }
  if (m_use == Use::None)
    return Act::CloseNow;
  m_closeRequested = true;
  return m_use == Use::Scan ? Act::WatchScanThenClose : Act::CloseWhenDone;
}

bool AdapterUse::StopsWait() const {
  return m_closeRequested || m_sessionEnding || m_waitCutForSession;
}

// A write also stops for a close or a session's end that came in the wait's
// last round of messages, after the lock was taken.
AdapterUse::Act AdapterUse::WaitEnds(bool stopped) {
  if (!stopped && !(m_use == Use::Ok && StopsWait()))
    return Act::Go;
  const bool cut = m_waitCutForSession || m_sessionEnding;
  m_waitCutForSession = false;
  if (!cut)
    return Act::Stop;
  if (!m_sessionEnding)
    return Act::SaySessionGoesOn;
  m_waitEndedForSession = true;
  return Act::Stop;
}

void AdapterUse::WriteStarts() {
  m_writing = true;
}

void AdapterUse::WriteEnds(uint32_t now) {
  m_writing = false;
  m_lastWriteEnd = now;
  m_wrote = true;
}

AdapterUse::UseEnd AdapterUse::UseEnds() {
  const UseEnd end{m_radioClickDropped, m_aboutRequested, m_closeRequested};
  m_use = Use::None;
  m_radioClickDropped = false;
  m_aboutRequested = false;
  return end;
}

// Asked inside a pumping library call during a write: ended between the write
// and its reset, the adapter would hold a setting it has not taken. Otherwise
// a wait for the lock ends, and no write starts.
bool AdapterUse::QueryEndSession() {
  if (m_writing)
    return false;
  m_sessionEnding = true;
  m_waitCutForSession = true;
  return true;
}

// The session goes on after all: writes may start again, and a wait that
// ended for it says so.
AdapterUse::Act AdapterUse::EndSession(bool ending) {
  m_sessionEnding = ending;
  const bool say = !ending && m_waitEndedForSession;
  m_waitEndedForSession = false;
  return say ? Act::SaySessionGoesOn : Act::Nothing;
}

bool AdapterUse::MoveLineDue() {
  const bool due = !m_moveShown;
  m_moveShown = true;
  return due;
}
