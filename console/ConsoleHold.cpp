#include "console/ConsoleHold.h"

#include "console/ConsoleText.h"

#ifdef _WIN32
#include <windows.h>
#endif

void ConsoleStopGate::Hold(const char* line) {
  const std::lock_guard<std::mutex> lock(m_mutex);
  if (m_holds++ == 0) {
    m_line = line;
    m_said = false;
  }
}

void ConsoleStopGate::Release() {
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (--m_holds > 0)
      return;
  }
  m_released.notify_all();
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
#endif
} // namespace

ConsoleHold::ConsoleHold(const char* line) {
  Gate().Hold(line);
#ifdef _WIN32
  // Installed once and left: outside a hold it passes every event straight on.
  static const bool installed = ::SetConsoleCtrlHandler(&OnConsoleStop, TRUE) != FALSE;
  (void)installed;
#endif
}

ConsoleHold::~ConsoleHold() {
  Gate().Release();
}
