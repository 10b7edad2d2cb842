// The main dialog's lines that are made of facts.

#include "app/DialogText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A write that took says success, any other fail.
TEST(DialogText, AResultLineSaysWhetherTheWriteTook) {
  EXPECT_EQ(DialogResultLine(PowerSaveState::On, WriteOutcome::Written),
            "Enable device power save success!");
  EXPECT_EQ(DialogResultLine(PowerSaveState::Off, WriteOutcome::ResetFailed),
            "Disable device power save fail!");
}

// Each row: what the session found, and the one line the dialog shows of it.
TEST(DialogText, EachFactIsOneLine) {
  const struct {
    std::string shown, line;
  } cases[] = {
      {DialogModeLine(PowerSaveState::On), "The power save mode is on!"},
      {DialogModeLine(PowerSaveState::Off), "The power save mode is off!"},
      {DialogCutShortLine({HistoryProgram::Ctl, "2026-12-08T07:21:31Z", "00:b0:52:00:00:01", true}),
       "A write by ostrelctl at 2026-12-08T07:21:31Z was cut short!"},
      {DialogCutShortLine({HistoryProgram::Dialog, "T", "00:b0:52:00:00:01", false}),
       "A write by Ostrel.exe at T to the adapter 00:b0:52:00:00:01 was cut short; this adapter "
       "could not be identified as that one!"},
      {DialogCutShortLine({HistoryProgram::Dialog, "T", "", false}),
       "A write by Ostrel.exe at T to a Broadcom adapter was cut short; this adapter could not "
       "be identified as that one!"},
      {DialogMovedLine("C:\\old"),
       "The copies and the history were moved from C:\\old to the folder LOCALAPPDATA names."},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.shown, c.line);
}

// Each row: what a write did not keep (' ' kept; the copy 'F' not saved, the
// record 'F' not written, the history 'M' moved aside), and the one line the
// dialog shows, the most telling.
TEST(DialogText, OfWhatAWriteDidNotKeepTheMostTellingIsShown) {
  const std::string copy = "No automatic copy was saved before the write: full";
  const std::string record = "The write is not in the history: denied";
  const std::string moved = "The history was moved aside to h-1.txt: damaged";
  const struct {
    const char* unkept; // copy, record, moved
    std::string line;
  } cases[] = {
      {"   ", ""}, {"FFM", copy}, {" FM", record}, {"  M", moved}, {"F  ", copy},
  };
  for (const auto& c : cases) {
    WriteUnkept unkept;
    unkept.noCopy = c.unkept[0] == 'F' ? "full" : "";
    unkept.noRecord = c.unkept[1] == 'F' ? "denied" : "";
    unkept.movedTo = c.unkept[2] == 'M' ? "h-1.txt" : "";
    unkept.movedWhy = c.unkept[2] == 'M' ? "damaged" : "";
    EXPECT_EQ(DialogUnkeptLine(unkept), c.line) << c.unkept;
  }
}

} // namespace
