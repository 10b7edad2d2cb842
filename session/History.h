#pragma once
// The history: one line for every write to an adapter, by either program, so
// that an administrator can tell afterwards who changed an adapter, when, and
// from what to what. A text file, appended under the adapter lock.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One write. Empty address, firmware and copy stand for "none".
struct HistoryRecord {
  std::string time;     // UTC, ISO 8601: "2026-12-08T07:21:31Z"
  std::string program;  // "Ostrel.exe" or "ostrelctl"
  std::string action;   // "on", "off", "restore" or "undo"
  std::string family;   // "qualcomm-atheros" or "broadcom"
  std::string address;  // an image adapter's address, "00:b0:52:00:00:01"
  std::string firmware; // UTF-8
  std::string before;   // "on", "off" or "unavailable"
  std::string after;
  std::string result;   // "done", "failed" or "unverified" (written, not read back)
  std::string copy;     // the automatic copy's full path
};

// The fields in the order of a line, with the values each may take (null:
// any text, which may be empty).
struct HistoryField {
  const char* name;
  std::string HistoryRecord::*value;
  const char* const* allowed;
};
extern const HistoryField kHistoryFields[10];

// The newest records the file keeps.
constexpr std::size_t kHistoryKept = 1000;

// The record as a line of the file, without its line end.
std::string HistoryLine(const HistoryRecord& record);
// False for a line that is no record of ours: damaged, or foreign.
bool HistoryParse(std::string_view line, HistoryRecord& record);

// Appends the record and keeps the newest kHistoryKept lines; the file is
// replaced whole, so a failure leaves it as it was. False with `error`.
bool HistoryAppend(const std::string& path, const HistoryRecord& record, std::string& error);
// The records, oldest first; `skipped` gets the numbers (from 1) of the lines
// that are not records. No file is an empty history. False with `error` when
// the file cannot be read.
bool HistoryRead(const std::string& path, std::vector<HistoryRecord>& records,
                 std::vector<std::size_t>& skipped, std::string& error);
