#include "console/ConsoleHold.h"

#include "console/ConsoleText.h"

#include <cstdio>

#ifdef _WIN32
#include "files/WideText.h"

#include <windows.h>
#endif

ConsoleStopGate::Begun ConsoleStopGate::Hold(const std::string& line, const std::string& cutLine) {
  const std::lock_guard<std::mutex> lock(m_mutex);
  // Checked under the lock that a stop takes, so that a stop either comes
  // before the hold and refuses it, or during it and is taken.
  if (m_stopped)
    return Begun::Refused;
  if (m_holds++ > 0)
    return Begun::Inner;
  m_line = line;
  m_cutLine = cutLine;
  m_began = m_now();
  m_begun = true;
  return Begun::First;
}

bool ConsoleStopGate::Release() {
  const std::lock_guard<std::mutex> lock(m_mutex);
  return --m_holds == 0;
}

std::string ConsoleStopGate::Line() {
  const std::lock_guard<std::mutex> lock(m_mutex);
  return m_line;
}

bool ConsoleStopGate::Holding() {
  const std::lock_guard<std::mutex> lock(m_mutex);
  return m_holds > 0;
}

bool ConsoleStopGate::StopTaken() {
  const std::lock_guard<std::mutex> lock(m_mutex);
  return m_begun && m_stopped;
}

void ConsoleStopGate::SayOnce(std::unique_lock<std::mutex>& lock, const std::string& line) {
  if (m_said)
    return;
  m_said = true;
  // Said outside the lock, so that a slow standard error does not hold up
  // the run.
  lock.unlock();
  m_say(line);
  lock.lock();
}

ConsoleStopGate::Answer ConsoleStopGate::Stop(Event event) {
  std::unique_lock<std::mutex> lock(m_mutex);
  const bool repeated = m_stopped;
  m_stopped = true;
  if (!m_begun)
    return Answer::EndUnwritten;
  if (m_holds > 0)
    SayOnce(lock, m_line);
  if (event == Event::Interrupt && repeated && m_holds > 0 && m_now() - m_began >= kGrace) {
    const std::string cutLine = m_cutLine;
    lock.unlock();
    m_say(cutLine);
    return Answer::EndNow;
  }
  return Answer::Taken;
}

namespace {
// The process's stop handling: the gate and what the handlers need beside it.
struct ConsoleStops {
  ConsoleStopGate gate{[](const std::string& line) {
    ConsoleWrite(stderr, line + "\n");
    // At once, also to a file or a pipe: the process may end right after.
    std::fflush(stderr);
  }};
#ifdef _WIN32
  // What a stop before the first hold says, and the exit status it ends with.
  std::string unwrittenLine;
  int unwrittenStatus = 1;
  // Set once the run has said all it will; a taken close or session end
  // waits for it.
  HANDLE runEnded = nullptr;
#endif
};

// The one pointer to it: Windows calls the console's control handler with
// no context of ours, and a stop is the process's, whichever hold is on.
// Never destroyed: a handler thread may still be inside it while the
// process exits.
ConsoleStops& Stops() {
  static ConsoleStops* const stops = new ConsoleStops;
  return *stops;
}

ConsoleStopGate& Gate() {
  return Stops().gate;
}

#ifdef _WIN32

// Not ExitProcess: the device library's detach may wait for the very call
// that is being cut, or that is stuck. The cut line was said already.
// Standard output is not flushed: the run may be stuck writing to it.
void EndAtOnce(ConsoleStopGate::Answer answer) {
  const bool unwritten = answer == ConsoleStopGate::Answer::EndUnwritten;
  if (unwritten) {
    ConsoleWrite(stderr, Stops().unwrittenLine + "\n");
    std::fflush(stderr);
  }
  ::TerminateProcess(::GetCurrentProcess(), unwritten ? static_cast<UINT>(Stops().unwrittenStatus)
                                                      : STATUS_CONTROL_C_EXIT);
}

// Runs on a thread of its own. After a close, logoff or shutdown the process
// ends whatever the handler returns, so a taken one waits for the run.
BOOL WINAPI OnConsoleStop(DWORD event) {
  const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  const ConsoleStopGate::Answer answer =
      Gate().Stop(interrupt ? ConsoleStopGate::Event::Interrupt : ConsoleStopGate::Event::End);
  if (answer != ConsoleStopGate::Answer::Taken)
    EndAtOnce(answer);
  if (!interrupt && Stops().runEnded != nullptr)
    ::WaitForSingleObject(Stops().runEnded, INFINITE);
  return TRUE;
}

// Sent to the session window when the first hold begins (wParam 1) or the
// last ends (0): the reason belongs to the thread that made the window, and
// is registered before the write starts, so that no question about the
// session's end comes before it.
constexpr UINT WM_HOLDCHANGED = WM_APP + 1;

// Reads the window's queue until the run has ended: the run's last release
// sends WM_HOLDCHANGED to this very thread.
void PumpUntilRunEnded() {
  MSG message;
  while (::MsgWaitForMultipleObjects(1, &Stops().runEnded, FALSE, INFINITE, QS_ALLINPUT) ==
         WAIT_OBJECT_0 + 1) {
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      ::DispatchMessageW(&message);
  }
}

LRESULT CALLBACK OnSessionMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_HOLDCHANGED: {
    std::wstring reason;
    if (wParam == 0)
      ::ShutdownBlockReasonDestroy(window);
    else if (WideFromUtf8(Gate().Line(), reason))
      ::ShutdownBlockReasonCreate(window, reason.c_str());
    return 0;
  }
  case WM_QUERYENDSESSION:
    return Gate().Holding() ? FALSE : TRUE;
  case WM_ENDSESSION:
    // The session ends whatever was answered: the process lasts until the
    // run is over, or until Windows stops waiting.
    if (wParam) {
      const ConsoleStopGate::Answer answer = Gate().Stop(ConsoleStopGate::Event::End);
      if (answer != ConsoleStopGate::Answer::Taken)
        EndAtOnce(answer);
      PumpUntilRunEnded();
    }
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

struct SessionWindowStart {
  HWND window = nullptr;
  HANDLE made = nullptr;
};

DWORD WINAPI SessionWindowThread(LPVOID parameter) {
  auto* start = static_cast<SessionWindowStart*>(parameter);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &OnSessionMessage;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = ConsoleHold::kWindowClass;
  ::RegisterClassW(&windowClass);
  // Top-level and hidden: a message-only window is not asked about the
  // session's end.
  start->window = ::CreateWindowExW(0, ConsoleHold::kWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                                    nullptr, nullptr, windowClass.hInstance, nullptr);
  ::SetEvent(start->made);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0)
    ::DispatchMessageW(&message);
  return 0;
}

// The window and the handler, put in place once and kept for the process's
// life.
HWND SessionWindow() {
  static const HWND window = [] {
    Stops().runEnded = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(&OnConsoleStop, TRUE);
    SessionWindowStart start;
    start.made = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE thread = start.made != nullptr
                              ? ::CreateThread(nullptr, 0, &SessionWindowThread, &start, 0, nullptr)
                              : nullptr;
    if (thread != nullptr) {
      ::WaitForSingleObject(start.made, INFINITE);
      ::CloseHandle(thread);
    }
    if (start.made != nullptr)
      ::CloseHandle(start.made);
    return start.window;
  }();
  return window;
}
#endif
} // namespace

void ConsoleStopsFromStart(const std::string& line, int status) {
#ifdef _WIN32
  Stops().unwrittenLine = line;
  Stops().unwrittenStatus = status;
  SessionWindow();
#else
  (void)line;
  (void)status;
#endif
}

ConsoleHold::ConsoleHold(const std::string& line, const std::string& cutLine) {
  const ConsoleStopGate::Begun begun = Gate().Hold(line, cutLine);
  m_refused = begun == ConsoleStopGate::Begun::Refused;
#ifdef _WIN32
  if (begun == ConsoleStopGate::Begun::First)
    ::SendMessageW(SessionWindow(), WM_HOLDCHANGED, 1, 0);
#endif
}

ConsoleHold::~ConsoleHold() {
  if (m_refused)
    return;
  const bool last = Gate().Release();
#ifdef _WIN32
  if (last)
    ::SendMessageW(SessionWindow(), WM_HOLDCHANGED, 0, 0);
#else
  (void)last;
#endif
}

bool ConsoleHold::StopTaken() {
  return Gate().StopTaken();
}

void ConsoleRunEnded() {
  std::fflush(nullptr);
#ifdef _WIN32
  if (Stops().runEnded != nullptr)
    ::SetEvent(Stops().runEnded);
#endif
}
