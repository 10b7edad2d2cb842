// The decision behind ConsoleHold, on a clock the test sets: Wine does not
// deliver console close events reliably, so the console handler is left out;
// and the hold's own window, asked about the session's end.

#include "console/ConsoleHold.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include "tests/support/WindowHelpers.h"
#endif

namespace {

using Answer = ConsoleStopGate::Answer;

// Ctrl+C and Ctrl+Break on a clock the test sets: before the first hold they
// end the process with nothing written; once one began they are taken, and
// end it at once only when repeated while the hold has lasted the grace
// time. Every stop refuses the holds that follow it.
TEST(ConsoleStopGate, AnInterruptIsTakenAndARepeatedOneCutsOnlyPastTheGraceTime) {
  using ms = std::chrono::milliseconds;
  using A = Answer;
  const ms grace = ConsoleStopGate::kGrace;
  const struct {
    const char* name;
    bool held;
    std::vector<ms> stops; // since the hold began
    bool releasedBeforeLast;
    std::vector<Answer> answers;
    std::vector<std::string> said;
  } cases[] = {
      // clang-format off
      {"before any hold", false, {ms(0), 2 * grace}, false, {A::EndUnwritten, A::EndUnwritten}, {}},
      {"repeated within the grace time", true, {ms(0), grace - ms(1)}, false, {A::Taken, A::Taken}, {"line"}},
      {"repeated at the grace time", true, {ms(0), grace}, false, {A::Taken, A::EndNow}, {"line", "cut"}},
      {"first past the grace time", true, {2 * grace}, false, {A::Taken}, {"line"}},
      {"repeated after the hold ended", true, {ms(0), 2 * grace}, true, {A::Taken, A::Taken}, {"line"}},
      // clang-format on
  };
  for (const auto& c : cases) {
    std::chrono::steady_clock::time_point now{};
    std::vector<std::string> said;
    ConsoleStopGate gate([&](const std::string& line) { said.push_back(line); },
                         [&] { return now; });
    const auto began = now;
    if (c.held) {
      EXPECT_EQ(gate.Hold("line", "cut"), ConsoleStopGate::Begun::First) << c.name;
    }
    std::vector<Answer> answers;
    for (std::size_t i = 0; i < c.stops.size(); ++i) {
      now = began + c.stops[i];
      if (c.releasedBeforeLast && i + 1 == c.stops.size()) {
        EXPECT_TRUE(gate.Release()) << c.name;
      }
      answers.push_back(gate.Stop(ConsoleStopGate::Event::Interrupt));
    }
    EXPECT_EQ(answers, c.answers) << c.name;
    EXPECT_EQ(said, c.said) << c.name;
    EXPECT_EQ(gate.StopTaken(), c.held) << c.name;
    EXPECT_EQ(gate.Hold("next", "cut"), ConsoleStopGate::Begun::Refused) << c.name;
  }
}

// A close, logoff or shutdown cannot be refused: three of them before any
// hold end the process with nothing written; after one began, through the
// release of nested holds, they are taken (the caller waits for the run's
// end) and the outer hold's line is said once, never the cut line.
TEST(ConsoleStopGate, AnEndIsTakenOnceAHoldBeganAndSaysItsLineOnce) {
  using std::chrono::seconds;
  for (const int holds : {0, 1, 2}) {
    std::chrono::steady_clock::time_point now{};
    int said = 0;
    ConsoleStopGate gate([&](const std::string& line) { said += line == "outer" ? 1 : 100; },
                         [&] { return now; });
    // Only the first hold and the last release change what Windows is told.
    for (int i = 0; i < holds; ++i)
      EXPECT_EQ(gate.Hold(i == 0 ? "outer" : "inner", "cut"),
                i == 0 ? ConsoleStopGate::Begun::First : ConsoleStopGate::Begun::Inner)
          << holds;
    EXPECT_EQ(gate.Holding(), holds > 0) << holds;
    for (int i = 0; i < 3; ++i) {
      now += 2 * ConsoleStopGate::kGrace;
      EXPECT_EQ(gate.Stop(ConsoleStopGate::Event::End),
                holds == 0 ? Answer::EndUnwritten : Answer::Taken)
          << holds;
    }
    for (int i = 0; i < holds; ++i)
      EXPECT_EQ(gate.Release(), i == holds - 1) << holds;
    EXPECT_FALSE(gate.Holding()) << holds;
    EXPECT_EQ(said, holds == 0 ? 0 : 1) << holds;
  }
}

#ifdef _WIN32
// Once a library has loaded user32, Windows asks windows, not the console
// handler, about a logoff: the hold's own window says no while it holds.
TEST(ConsoleHold, ItsWindowRefusesTheSessionsEndOnlyDuringAHold) {
  auto hold = std::make_unique<ConsoleHold>("finishing", "cut");
  const HWND window = ProcessWindow(ConsoleHold::kWindowClass, ::GetCurrentProcessId());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(::SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
  hold.reset();
  EXPECT_EQ(::SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
}
#endif

} // namespace
