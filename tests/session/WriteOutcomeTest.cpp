// How a write's end is told and recorded.

#include "session/WriteOutcome.h"

#include <gtest/gtest.h>

namespace {

TEST(WriteOutcome, EachWayAWriteEndsAndWhatItsRecordSays) {
  using O = WriteOutcome;
  const struct {
    WriteFacts facts;
    O outcome;
    const char* result;
    const char* after;  // state
    const char* digest; // "read", "sent" or ""
  } cases[] = {
      {{false, false, false, false, false, false}, O::Refused, "failed", "on", ""},
      {{true, false, false, false, false, false}, O::AdapterRefused, "failed", "on", ""},
      {{true, false, true, false, false, false}, O::ResetFailed, "failed", "off", "sent"},
      {{true, true, false, false, false, false}, O::Written, "unverified", "off", "sent"},
      {{true, true, false, true, true, true}, O::Verified, "done", "off", "read"},
      {{true, true, false, true, true, false}, O::ReadBackDiffers, "failed", "on", "read"},
      {{true, true, false, true, false, false},
       O::ReadBackUnreadable,
       "failed",
       "unavailable",
       "read"},
  };
  for (const auto& c : cases) {
    const O outcome = DecideWriteOutcome(c.facts);
    EXPECT_EQ(outcome, c.outcome);
    HistoryRecord record;
    record.before = PowerSaveState::On;
    const PowerSaveState readBack = c.outcome == O::ReadBackDiffers ? PowerSaveState::On
                                    : c.outcome == O::ReadBackUnreadable
                                        ? PowerSaveState::Unavailable
                                        : PowerSaveState::Off;
    FinishRecord(outcome, PowerSaveState::Off, readBack, "read", "sent", record);
    EXPECT_STREQ(NameOf(record.result), c.result) << static_cast<int>(c.outcome);
    EXPECT_STREQ(NameOf(record.after), c.after) << static_cast<int>(c.outcome);
    EXPECT_EQ(record.afterSha256, c.digest) << static_cast<int>(c.outcome);
  }
}

} // namespace
