// What a write that went ahead tells of what it did not keep.

#include "session/WriteOutcome.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Each row: what the session reported, then the lines in their order.
TEST(SessionWrite, WhatWasNotKeptMostTellingFirst) {
  const struct {
    WriteOutcome outcome;
    const char* copyPath;
    const char* copyFault;
    const char* historyFault;
    const char* movedTo;
    std::vector<std::string> lines;
  } cases[] = {
      {WriteOutcome::Verified, "C:\\c.ostrel", "", "", "", {}},
      {WriteOutcome::Refused, "", "disk full", "disk full", "", {}},
      {WriteOutcome::Written,
       "",
       "disk full",
       "",
       "",
       {"no automatic copy was saved before the write: disk full"}},
      // A copy saved before a later fault is still a copy.
      {WriteOutcome::Verified, "C:\\c.ostrel", "late", "", "", {}},
      {WriteOutcome::AdapterRefused,
       "",
       "",
       "access denied",
       "",
       {"the write is not in the history: access denied"}},
      {WriteOutcome::Verified,
       "",
       "",
       "",
       "C:\\h-1.txt",
       {"the history was moved aside to C:\\h-1.txt: it was damaged"}},
      {WriteOutcome::ReadBackDiffers,
       "",
       "no folder",
       "no folder",
       "C:\\h-1.txt",
       {"no automatic copy was saved before the write: no folder",
        "the write is not in the history: no folder",
        "the history was moved aside to C:\\h-1.txt: it was damaged"}},
  };
  for (const auto& c : cases) {
    SessionWrite write;
    write.outcome = c.outcome;
    write.copyPath = c.copyPath;
    write.copyFault = c.copyFault;
    write.historyFault = c.historyFault;
    write.historyMovedTo = c.movedTo;
    write.historyMovedWhy = *c.movedTo != '\0' ? "it was damaged" : "";
    EXPECT_EQ(UnkeptLines(write), c.lines) << c.copyFault << c.historyFault << c.movedTo;
  }
}

} // namespace
