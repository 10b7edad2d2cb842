// The decision behind ConsoleHold, driven by threads: Wine does not deliver
// console close events reliably, so the console handler itself is left out.

#include "console/ConsoleHold.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

// Stop requests during nested holds return only when the last hold ends, and
// the outer hold's line is said once for all of them; outside a hold a
// request returns at once and says nothing.
TEST(ConsoleStopGate, AStopWaitsForTheHoldAndSaysItsLineOnce) {
  const struct {
    int holds;
    int stops;
  } cases[] = {{0, 1}, {1, 1}, {1, 3}, {2, 2}};
  for (const auto& c : cases) {
    const std::string at = std::to_string(c.holds) + " holds, " + std::to_string(c.stops);
    std::mutex saidMutex;
    std::vector<std::string> said;
    ConsoleStopGate gate([&](const std::string& line) {
      const std::lock_guard<std::mutex> lock(saidMutex);
      said.push_back(line);
    });
    for (int i = 0; i < c.holds; ++i)
      gate.Hold(i == 0 ? "finishing the write" : "inner");
    std::atomic<int> returned{0};
    std::vector<std::thread> stops;
    for (int i = 0; i < c.stops; ++i)
      stops.emplace_back([&] {
        gate.Stop();
        ++returned;
      });
    const auto saidCount = [&] {
      const std::lock_guard<std::mutex> lock(saidMutex);
      return said.size();
    };
    if (c.holds == 0) {
      EXPECT_TRUE(WaitFor([&] { return returned == c.stops; })) << at;
    } else {
      ASSERT_TRUE(WaitFor([&] { return saidCount() > 0; })) << at;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      for (int i = 1; i < c.holds; ++i)
        gate.Release();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      EXPECT_EQ(returned, 0) << at;
      gate.Release();
      EXPECT_TRUE(WaitFor([&] { return returned == c.stops; })) << at;
    }
    for (auto& stop : stops)
      stop.join();
    EXPECT_EQ(said, c.holds == 0 ? std::vector<std::string>{}
                                 : std::vector<std::string>{"finishing the write"})
        << at;
  }
}

} // namespace
