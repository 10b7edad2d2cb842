#include "session/WaitSetting.h"

#include <gtest/gtest.h>

namespace {

TEST(WaitSetting, TheDialogsSettingCanOnlyShortenItsWait) {
  const struct {
    const char* setting;
    uint32_t ms;
  } cases[] = {
      {nullptr, 30000},
      {"", 30000},
      {"2500", 2500},
      {"0", 0},
      {"30000", 30000},
      {"30001", 30000},
      {"99999999999999999999999", 30000},
      {"500ms", 30000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DialogWaitMs(c.setting, 30000), c.ms) << (c.setting ? c.setting : "(unset)");
}

} // namespace
