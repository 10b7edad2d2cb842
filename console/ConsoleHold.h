#pragma once
// Keeps Ctrl+C, Ctrl+Break, closing the console, logging off and shutting
// down from ending the program in the middle of something that must be
// finished, such as a write to the adapter and the reset that follows it.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <utility>

// While a ConsoleHold exists, a console stop event prints its line once on
// standard error and waits for the hold to end; then the event's default
// handling ends the process. Outside a hold, stop events behave as before.
// (Windows; elsewhere a hold changes nothing.)
// Windows waits for a held event about 5 s after the console is closed and
// about 20 s at logoff or shutdown. Past that it ends the process as
// TerminateProcess does, which may cut the write or leave it without its
// reset; the next program takes over the abandoned adapter lock. Logoff and
// shutdown reach the console handler only while no library has loaded
// user32.dll or gdi32.dll into the process; once one has, Windows asks the
// process's windows instead. So a hidden window of the hold's own, on a thread
// of its own, answers the session's end too: "no" to its query during a hold,
// with the line as the reason Windows shows, and a forced end waits for the
// hold as a console event does.
class ConsoleHold {
public:
#ifdef _WIN32
  // The hidden window's class, for tests that ask it as Windows would.
  static constexpr wchar_t kWindowClass[] = L"Ostrel.ConsoleHold";
#endif
  explicit ConsoleHold(const char* line);
  ~ConsoleHold();
  ConsoleHold(const ConsoleHold&) = delete;
  ConsoleHold& operator=(const ConsoleHold&) = delete;
};

// What a stop request does, apart from the console. Holds may nest.
class ConsoleStopGate {
public:
  explicit ConsoleStopGate(std::function<void(const std::string&)> say) : m_say(std::move(say)) {}
  // Each returns true when it began the first hold or ended the last.
  bool Hold(const char* line);
  bool Release();
  bool Holding();
  // The outermost hold's line.
  std::string Line();
  // A stop request, on a thread of its own: returns at once outside a hold;
  // during one, says the line of the outermost hold (once, however many
  // requests come) and returns when the last hold is released.
  void Stop();

private:
  std::function<void(const std::string&)> m_say;
  std::mutex m_mutex;
  std::condition_variable m_released;
  int m_holds = 0;
  std::string m_line;
  bool m_said = false;
};
