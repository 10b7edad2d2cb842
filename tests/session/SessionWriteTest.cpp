// What a write that went ahead tells of what it did not keep.

#include "session/WriteOutcome.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Each row: what the session reported (' ' none; the copy 'P' saved or 'F'
// not, the history 'F' not written, the old history 'M' moved aside), then
// the lines in their order, joined by "|".
TEST(SessionWrite, WhatWasNotKeptMostTellingFirst) {
  const std::string copy = "no automatic copy was saved before the write: full";
  const std::string record = "the write is not in the history: denied";
  const std::string moved = "the history was moved aside to h-1.txt: damaged";
  const struct {
    WriteOutcome outcome;
    const char* report; // copy, history, moved
    std::string lines;
  } cases[] = {
      {WriteOutcome::Verified, "P  ", ""},
      {WriteOutcome::Refused, " FF", ""},
      {WriteOutcome::Written, "F  ", copy},
      {WriteOutcome::Verified, "PF ", record},
      {WriteOutcome::AdapterRefused, " F ", record},
      {WriteOutcome::Verified, "  M", moved},
      {WriteOutcome::ReadBackDiffers, "FFM", copy + "|" + record + "|" + moved},
  };
  for (const auto& c : cases) {
    SessionWrite write;
    write.outcome = c.outcome;
    write.copyPath = c.report[0] == 'P' ? "c.ostrel" : "";
    write.copyFault = c.report[0] == 'F' ? "full" : "";
    write.historyFault = c.report[1] == 'F' ? "denied" : "";
    write.historyMovedTo = c.report[2] == 'M' ? "h-1.txt" : "";
    write.historyMovedWhy = c.report[2] == 'M' ? "damaged" : "";
    std::string lines;
    for (const std::string& line : UnkeptLines(write))
      lines += (lines.empty() ? "" : "|") + line;
    EXPECT_EQ(lines, c.lines) << c.report;
  }
}

} // namespace
