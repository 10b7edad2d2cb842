#pragma once
// Keeps Ctrl+C, Ctrl+Break, closing the console, logging off and shutting
// down from ending the program in the middle of something that must be
// finished, such as a write to the adapter and the reset that follows it.

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <utility>

// Before the first hold, a console stop event or the session's end ends the
// process at once (ConsoleStopsFromStart), with nothing written, and without
// the library's detach code, which may wait for a call that is stuck. From
// then on the run goes on to its end and reports:
// Ctrl+C and Ctrl+Break are refused, with the hold's line said once on
// standard error; a close, logoff or shutdown cannot be refused, so its
// handler waits for ConsoleRunEnded. No hold begins after a stop. A Ctrl+C or
// Ctrl+Break repeated once the hold has lasted ConsoleStopGate::kGrace ends
// the process at once, after the cut line: a write that long may be stuck.
// (Windows; elsewhere a hold changes nothing.)
// Windows waits about 5 s for the handler after the console is closed; past
// that it ends the process as TerminateProcess does, which may cut the write
// or leave it without its reset; the next program takes over the abandoned
// adapter lock. Logoff and shutdown reach the console handler only while no
// library has loaded user32.dll or gdi32.dll into the process; once one has,
// Windows asks the process's windows instead. So a hidden window of the
// hold's own, on a thread of its own, answers the session's end too: "no" to
// its query during a hold, with the line as the reason Windows shows, and a
// forced end waits for the run as a closed console does, reading its queue
// meanwhile: the run's end sends to that window.
class ConsoleHold {
public:
#ifdef _WIN32
  // The hidden window's class, for tests that ask it as Windows would.
  static constexpr wchar_t kWindowClass[] = L"Ostrel.ConsoleHold";
#endif
  // `line` is said at the first stop during the hold, `cutLine` when a
  // repeated stop ends the process.
  ConsoleHold(const std::string& line, const std::string& cutLine);
  ~ConsoleHold();
  ConsoleHold(const ConsoleHold&) = delete;
  ConsoleHold& operator=(const ConsoleHold&) = delete;
  // A stop came before the hold: it holds nothing, and what it was to guard
  // must not start.
  bool Refused() const {
    return m_refused;
  }
  // A stop came after a hold began: the run is reporting what it finished.
  static bool StopTaken();

private:
  bool m_refused;
};

// Puts the stop handlers in place before anything else runs: a stop before
// the first hold says `line` on standard error and ends the process with
// `status`. (Windows; elsewhere the default handling stays.)
void ConsoleStopsFromStart(const std::string& line, int status);

// The run has said all it will say; a close or session end that waits for it
// may let the process end. Flushes the standard streams first.
void ConsoleRunEnded();

// What a stop request does, apart from the console. Holds may nest.
class ConsoleStopGate {
public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // How long a hold runs before a repeated Ctrl+C may cut it.
  static constexpr std::chrono::seconds kGrace{10};

  // Ctrl+C and Ctrl+Break may be refused; a close or session end may not.
  enum class Event { Interrupt, End };
  enum class Answer {
    EndUnwritten, // no hold began: end the process at once, nothing written
    Taken,        // the run goes on to its end
    EndNow,       // a repeated stop past the grace time: end the process at once
  };
  enum class Begun { First, Inner, Refused };

  explicit ConsoleStopGate(std::function<void(const std::string&)> say,
                           Clock now = &std::chrono::steady_clock::now)
      : m_say(std::move(say)), m_now(std::move(now)) {}
  Begun Hold(const std::string& line, const std::string& cutLine);
  // True when it ended the last hold.
  bool Release();
  bool Holding();
  bool StopTaken();
  // The outermost hold's line.
  std::string Line();
  // A stop request, on a thread of its own. An End that is taken leaves the
  // caller to wait until the run has ended.
  Answer Stop(Event event);

private:
  void SayOnce(std::unique_lock<std::mutex>& lock, const std::string& line);

  std::function<void(const std::string&)> m_say;
  Clock m_now;
  std::mutex m_mutex;
  int m_holds = 0;
  std::string m_line;
  std::string m_cutLine;
  std::chrono::steady_clock::time_point m_began;
  bool m_begun = false;   // a hold began in this run
  bool m_stopped = false; // a stop came
  bool m_said = false;
};
