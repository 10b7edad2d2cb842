#include "console/ConsoleHold.h"

#include "console/ConsoleText.h"

#ifdef _WIN32
#include "files/WideText.h"

#include <windows.h>
#endif

bool ConsoleStopGate::Hold(const char* line) {
  const std::lock_guard<std::mutex> lock(m_mutex);
  if (m_holds++ > 0)
    return false;
  m_line = line;
  m_said = false;
  return true;
}

bool ConsoleStopGate::Release() {
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (--m_holds > 0)
      return false;
  }
  m_released.notify_all();
  return true;
}

std::string ConsoleStopGate::Line() {
  const std::lock_guard<std::mutex> lock(m_mutex);
  return m_line;
}

bool ConsoleStopGate::Holding() {
  const std::lock_guard<std::mutex> lock(m_mutex);
  return m_holds > 0;
}

void ConsoleStopGate::Stop() {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_holds == 0)
    return;
  if (!m_said) {
    m_said = true;
    const std::string line = m_line;
    // Said outside the lock, so that a slow standard error does not keep the
    // hold from ending.
    lock.unlock();
    m_say(line);
    lock.lock();
  }
  m_released.wait(lock, [this] { return m_holds == 0; });
}

namespace {
ConsoleStopGate& Gate() {
  static ConsoleStopGate gate([](const std::string& line) { ConsoleWrite(stderr, line + "\n"); });
  return gate;
}

#ifdef _WIN32
// Runs on a thread of its own. FALSE passes the event on to the default
// handler, which ends the process.
BOOL WINAPI OnConsoleStop(DWORD) {
  Gate().Stop();
  return FALSE;
}

// Posted to the session window when the first hold begins (wParam 1) or the
// last ends (0): the reason belongs to the thread that made the window.
constexpr UINT WM_HOLDCHANGED = WM_APP + 1;

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
    // hold is over, or until Windows stops waiting.
    if (wParam)
      Gate().Stop();
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

// The window, made with the first hold and kept for the process's life.
HWND SessionWindow() {
  static const HWND window = [] {
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

ConsoleHold::ConsoleHold(const char* line) {
  const bool first = Gate().Hold(line);
#ifdef _WIN32
  // Installed once and left: outside a hold it passes every event straight on.
  static const bool installed = ::SetConsoleCtrlHandler(&OnConsoleStop, TRUE) != FALSE;
  (void)installed;
  if (first)
    ::PostMessageW(SessionWindow(), WM_HOLDCHANGED, 1, 0);
#else
  (void)first;
#endif
}

ConsoleHold::~ConsoleHold() {
  const bool last = Gate().Release();
#ifdef _WIN32
  if (last)
    ::PostMessageW(SessionWindow(), WM_HOLDCHANGED, 0, 0);
#else
  (void)last;
#endif
}
