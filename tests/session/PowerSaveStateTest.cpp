#include "session/PowerSaveState.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// The strategies' numbers and the names the history and the programs use.
TEST(PowerSaveState, AStateIsReadFromItsNumber) {
  using S = PowerSaveState;
  const struct {
    uint16_t value;
    S state;
    const char* name;
  } cases[] = {
      {0, S::Off, "off"},
      {1, S::On, "on"},
      {2, S::Unavailable, "unavailable"},
      {0xFFFF, S::Unavailable, "unavailable"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PowerSaveStateOf(c.value), c.state) << c.value;
    EXPECT_STREQ(PowerSaveStateName(c.state), c.name) << c.value;
    if (c.state != S::Unavailable) {
      EXPECT_EQ(PowerSaveValueOf(c.state), c.value) << c.name;
    }
  }
}

} // namespace
