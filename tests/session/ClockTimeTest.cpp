#include "session/ClockTime.h"

#include <gtest/gtest.h>

namespace {

TEST(ClockTime, UnixSecondsCountFrom1970) {
  const struct {
    ClockTime time;
    int64_t seconds;
  } cases[] = {
      {{1970, 1, 1, 0, 0, 0, 0}, 0},
      {{1969, 12, 31, 23, 59, 59, 0}, -1},
      {{2000, 2, 29, 12, 0, 0, 0}, 951825600}, // a leap day of a 400th year
      {{2000, 3, 1, 0, 0, 0, 0}, 951868800},
      {{2100, 3, 1, 0, 0, 0, 0}, 4107542400},      // 2100 has no leap day
      {{2026, 12, 8, 7, 21, 31, 999}, 1796714491}, // milliseconds do not count
  };
  for (const auto& c : cases)
    EXPECT_EQ(UnixSeconds(c.time), c.seconds) << IsoTime(c.time);
}

} // namespace
