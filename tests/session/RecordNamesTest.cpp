// The names a record's words take in the history, the listings and JSON.

#include "session/RecordNames.h"

#include <gtest/gtest.h>

namespace {

// Each row: an enum's value as a number, the name it takes, and a text that
// names nothing (a near miss).
template <typename Enum> void ExpectNames(int value, const char* name, const char* nearMiss) {
  const Enum expected = static_cast<Enum>(value);
  EXPECT_STREQ(NameOf(expected), name);
  Enum parsed = static_cast<Enum>(value == 0 ? 1 : 0);
  EXPECT_TRUE(ParseName(name, parsed)) << name;
  EXPECT_EQ(parsed, expected) << name;
  EXPECT_FALSE(ParseName(nearMiss, parsed)) << nearMiss;
  EXPECT_EQ(parsed, expected) << nearMiss;
}

TEST(RecordNames, EachValueHasOneNameAndNothingElseParses) {
  ExpectNames<HistoryProgram>(0, "Ostrel.exe", "ostrel.exe");
  ExpectNames<HistoryProgram>(1, "ostrelctl", "ostrelctl.exe");
  ExpectNames<HistoryAction>(0, "on", "On");
  ExpectNames<HistoryAction>(1, "off", "of");
  ExpectNames<HistoryAction>(2, "restore", "restored");
  ExpectNames<HistoryAction>(3, "undo", "");
  ExpectNames<AdapterFamily>(0, "qualcomm-atheros", "qualcomm");
  ExpectNames<AdapterFamily>(1, "broadcom", "broadcom ");
  ExpectNames<PowerSaveState>(0, "off", "0");
  ExpectNames<PowerSaveState>(1, "on", "1");
  ExpectNames<PowerSaveState>(2, "unavailable", "unknown");
  ExpectNames<HistoryResult>(0, "done", "ok");
  ExpectNames<HistoryResult>(1, "failed", "fail");
  ExpectNames<HistoryResult>(2, "unverified", "verified");
  ExpectNames<HistoryResult>(3, "started", "Started");
}

// A write reached the adapter when it was read back as written or not read
// back at all; an undo that did takes its change back.
TEST(RecordNames, WhichResultsTookEffect) {
  using R = HistoryResult;
  const struct {
    R result;
    bool tookEffect;
  } cases[] = {{R::Done, true}, {R::Unverified, true}, {R::Failed, false}, {R::Started, false}};
  for (const auto& c : cases)
    EXPECT_EQ(ResultTookEffect(c.result), c.tookEffect) << NameOf(c.result);
}

} // namespace
