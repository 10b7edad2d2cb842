// How a write's end is told and recorded, and what it did not keep.

#include "session/WriteOutcome.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WriteOutcome, EachWayAWriteEndsAndWhatItsRecordSays) {
  using O = WriteOutcome;
  const struct {
    WriteFacts facts;
    O outcome;
    const char* result;
    const char* after;  // state
    const char* digest; // "read", "sent" or ""
    const char* ways;   // 'T' took, 'A' accepted, 'R' read back, else ' '
  } cases[] = {
      // clang-format off
      {{false, false, false, false, false, false}, O::Refused, "failed", "on", "", "   "},
      {{true, false, false, false, false, false}, O::AdapterRefused, "failed", "on", "", "   "},
      {{true, false, true, false, false, false}, O::ResetFailed, "failed", "off", "sent", " A "},
      {{true, true, false, false, false, false}, O::Written, "unverified", "off", "sent", "TA "},
      {{true, true, false, true, true, true}, O::Verified, "done", "off", "read", "TAR"},
      {{true, true, false, true, true, false}, O::ReadBackDiffers, "failed", "on", "read", " AR"},
      {{true, true, false, true, false, false}, O::ReadBackUnreadable, "failed", "unavailable", "read", " AR"},
      // clang-format on
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
    const std::string ways = {WriteTook(outcome) ? 'T' : ' ', WriteAccepted(outcome) ? 'A' : ' ',
                              ReadBackMade(outcome) ? 'R' : ' '};
    EXPECT_EQ(ways, c.ways) << static_cast<int>(c.outcome);
  }
}

// Each row: what the session reported (' ' none; the copy 'P' saved or 'F'
// not, the history 'F' not written, the old history 'M' moved aside), then
// what is unkept, each fact joined by "|": why there is no copy, why no
// record, where the history went and why.
TEST(WriteOutcome, WhatAWriteThatWentAheadDidNotKeep) {
  const struct {
    WriteOutcome outcome;
    const char* report; // copy, history, moved
    std::string unkept;
  } cases[] = {
      {WriteOutcome::Verified, "P  ", "|||"},
      {WriteOutcome::Refused, " FF", "|||"},
      {WriteOutcome::Written, "F  ", "full|||"},
      {WriteOutcome::Verified, "PF ", "|denied||"},
      {WriteOutcome::AdapterRefused, " F ", "|denied||"},
      {WriteOutcome::Verified, "  M", "||h-1.txt|damaged"},
      {WriteOutcome::ReadBackDiffers, "FFM", "full|denied|h-1.txt|damaged"},
  };
  for (const auto& c : cases) {
    SessionWrite write;
    write.outcome = c.outcome;
    write.copyPath = c.report[0] == 'P' ? "c.ostrel" : "";
    write.copyFault = c.report[0] == 'F' ? "full" : "";
    write.historyFault = c.report[1] == 'F' ? "denied" : "";
    write.historyMovedTo = c.report[2] == 'M' ? "h-1.txt" : "";
    write.historyMovedWhy = c.report[2] == 'M' ? "damaged" : "";
    const WriteUnkept unkept = UnkeptOf(write);
    EXPECT_EQ(unkept.noCopy + "|" + unkept.noRecord + "|" + unkept.movedTo + "|" + unkept.movedWhy,
              c.unkept)
        << c.report;
  }
}

} // namespace
