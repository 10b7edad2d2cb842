#pragma once
// The history: one line for every write to an adapter, by either program, so
// that an administrator can tell afterwards who changed an adapter, when, and
// from what to what, and so that undo knows the order of the changes. A text
// file of the user's, rewritten whole under the adapter lock. Lines that are
// not records, such as a person's notes, are kept byte for byte.

#include "files/WriteFile.h"
#include "session/ClockTime.h"
#include "session/RecordNames.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The formats of the history's lines, oldest first: a line's tag names its
// format, and each format adds fields to the one before.
enum class HistoryFormat { First = 1, Second, Third }; // as the tags number them
// Whether a format's records have an id, the digests of what the adapter held
// before and after the write, and, for an undo, the id of the record it undid.
constexpr bool HistoryHasIds(HistoryFormat format) {
  return format >= HistoryFormat::Second;
}
// Whether a format's digests cover the first `length` bytes alone, the bytes
// the write put on the adapter, beside the digest of what it sent; those of
// the second format cover the whole content as fetched.
constexpr bool HistoryHasLength(HistoryFormat format) {
  return format >= HistoryFormat::Third;
}

// One write. Empty texts stand for "none" (or "unknown", for a digest).
struct HistoryRecord {
  std::string time; // UTC, ISO 8601: "2026-12-08T07:21:31Z"
  HistoryProgram program = HistoryProgram::Dialog;
  HistoryAction action = HistoryAction::On;
  AdapterFamily family = AdapterFamily::QualcommAtheros;
  std::string address;  // an image adapter's address, "00:b0:52:00:00:01"
  std::string firmware; // UTF-8
  PowerSaveState before = PowerSaveState::Unavailable;
  PowerSaveState after = PowerSaveState::Unavailable;
  HistoryResult result = HistoryResult::Started;
  std::string copy; // the automatic copy's full path
  // Fields that earlier formats lack, written by earlier versions: see
  // HistoryHasIds and HistoryHasLength.
  std::string id;           // unique in the history
  std::string beforeSha256; // what the adapter held before the write
  std::string afterSha256;  // and after it, as read back or else as sent
  std::string undoes;       // an undo's: the id of the record it undid
  uint32_t length = 0;      // 0 in records of earlier formats
  std::string sentSha256;   // what the write sent, recorded before it was sent
  HistoryFormat format = HistoryFormat::Third;
};

// The fields in the order of a line: a field's text as the line has it, and
// how a line's text sets it (false when it may not take that text). A named
// field holds one of its enum's names, never "none".
struct HistoryField {
  const char* name;
  std::string (*text)(const HistoryRecord& record);
  bool (*set)(HistoryRecord& record, std::string text);
  bool named;
};
extern const HistoryField kHistoryFields[16];
// A line's first field, and how many of kHistoryFields follow it.
const char* HistoryTag(HistoryFormat format);
std::size_t HistoryFieldCount(HistoryFormat format);

// The newest records the file keeps; lines that are not records do not count.
constexpr std::size_t kHistoryKept = 1000;
// Far more than kHistoryKept records take. The file's own writes never take
// it past this: notes that would are moved aside with the old file.
constexpr std::size_t kHistoryMaxFileSize = 16u << 20;

// The record as a line of the file, without its line end.
std::string HistoryLine(const HistoryRecord& record);
// False for a line that is no record of ours: damaged, or foreign.
bool HistoryParse(std::string_view line, HistoryRecord& record);

// A history file as read: its bytes, its lines and the records among them.
struct HistoryFile {
  struct Line {
    std::size_t begin, end, next; // the text, then its line end up to `next`
    int record;                   // index into `records`, or -1
  };
  std::vector<uint8_t> bytes;
  std::vector<Line> lines;
  std::vector<HistoryRecord> records; // oldest first
  // Why the file is not a history this program may rewrite: not UTF-8 text,
  // NUL bytes, too large. Empty when it is.
  std::string foreign;
};

// Reads `bytes` as a history: a UTF-8 byte order mark is read past, and CR
// LF, LF and CR all end a line.
void HistoryScan(std::vector<uint8_t> bytes, HistoryFile& file);
// Reads the file, or when it is missing, the old content a failed replace
// left under RestoreName. No file is an empty history. False with `error` when it
// cannot be read.
bool HistoryLoad(const std::string& path, HistoryFile& file, std::string& error);
// The numbers (from 1) of the lines that are not records.
std::vector<std::size_t> HistorySkipped(const HistoryFile& file);

// Puts `record` into the history at `path`: over the line of the record with
// its id (a write's "started" line), or as a new line at the end, keeping
// the newest kHistoryKept records; `dropped` gets those that left. A record
// without an id gets a new one, made from `now`. A file that is not a
// history, or that this line would take past kHistoryMaxFileSize, is moved
// aside to "history-<time>.txt" beside it, never rewritten; `movedTo` names
// it and `movedWhy` says why. A file grown too large is followed by its
// newest records that fit in half the limit, without its notes. The file is
// replaced whole, so a failure leaves it as it was. `records` gets the
// records the file now holds. False with `error`.
struct HistoryPut {
  std::string movedTo;
  std::string movedWhy;
  std::vector<HistoryRecord> records;
  std::vector<HistoryRecord> dropped;
};
bool HistoryPutRecord(const std::string& path, HistoryRecord& record, const ClockTime& now,
                      HistoryPut& put, std::string& error, HeldFileWait& wait = SleepingWait());
