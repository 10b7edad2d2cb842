// The main dialog's lines that are made of facts: each row, what the session
// found, and the one line the dialog shows of it.
#include "app/DialogText.h"

#include <gtest/gtest.h>

#include <string>

namespace {
// clang-format off
TEST(DialogText, EachFactIsOneLine) {
  const UnfinishedWrite byCtl{HistoryProgram::Ctl, "2026-12-08T07:21:31Z", "00:b0:52:00:00:01", true};
  const std::string copy = "No automatic copy was saved before the write: full";
  const struct { std::string shown, line; } cases[] = {
      // A write that took says success, any other fail.
      {DialogResultLine(PowerSaveState::On, WriteOutcome::Written), "Enable device power save success!"},
      {DialogResultLine(PowerSaveState::Off, WriteOutcome::ResetFailed), "Disable device power save fail!"},
      {DialogModeLine(PowerSaveState::On), "The power save mode is on!"},
      {DialogModeLine(PowerSaveState::Off), "The power save mode is off!"},
      {DialogCutShortLine(byCtl), "A write by ostrelctl at 2026-12-08T07:21:31Z was cut short!"},
      {DialogCutShortLine({HistoryProgram::Dialog, "T", "00:b0:52:00:00:01", false}),
       "A write by Ostrel.exe at T to the adapter 00:b0:52:00:00:01 was cut short; this adapter could not be "
       "identified as that one!"},
      {DialogCutShortLine({HistoryProgram::Dialog, "T", "", false}),
       "A write by Ostrel.exe at T to a Broadcom adapter was cut short; this adapter could not be identified "
       "as that one!"},
      {DialogMovedLine("C:\\old"),
       "The copies and the history were moved from C:\\old to the folder LOCALAPPDATA names."},
      // Of what a write did not keep (no copy, no record, the history moved
      // aside), the most telling: the dialog has room for one line.
      {DialogUnkeptLine({}), ""},
      {DialogUnkeptLine({"full", "denied", "h-1.txt", "damaged"}), copy},
      {DialogUnkeptLine({"", "denied", "h-1.txt", "damaged"}), "The write is not in the history: denied"},
      {DialogUnkeptLine({"", "", "h-1.txt", "damaged"}), "The history was moved aside to h-1.txt: damaged"},
      {DialogUnkeptLine({"full", "", "", ""}), copy},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.shown, c.line);
}
// clang-format on
} // namespace
