#pragma once
// Which recorded change undo puts back. The history alone knows the order of
// the changes, and the digests prove what the adapter holds: a change is
// undone only while the adapter still holds what it left, so a change made
// since by another program, another user or on another adapter is never
// rolled back unasked.

#include "powersave/PowerSaveCopy.h"
#include "session/History.h"

#include <cstddef>
#include <string>
#include <vector>

// The adapter as it is now.
struct UndoPresent {
  std::string family;  // as records name it
  std::string address; // as records write it; empty for a parameter adapter
  // False when the image does not open, so its address is unknown: then the
  // record whose "after" digest is the present one names the adapter.
  bool addressKnown = true;
  std::string digest; // SHA-256 of what the adapter holds, lower-case hex
};

enum class UndoVerdict {
  Undo,        // `record` is the change to undo: the adapter holds what it left
  Changed,     // the adapter no longer holds what `record`, its last change, left
  FirstFormat, // `record`, the last change, was written without digests
  NothingLeft, // no change of this adapter is left to undo
  Unproven,    // the image does not open, and no record left what it holds
};

enum class UndoPassReason {
  ChangedNothing, // its digests before and after agree
  NotWritten,     // failed or cut short, and the adapter still holds what it started from
};

struct UndoPlan {
  UndoVerdict verdict = UndoVerdict::NothingLeft;
  std::size_t record = 0; // for Undo, Changed and FirstFormat: an index into the records
  struct Pass {
    std::size_t record;
    UndoPassReason why;
  };
  std::vector<Pass> passed; // newest first
};

// Walks the adapter's records, `records` oldest first, from the newest back,
// passing over undo records and the records they undid.
UndoPlan PlanUndo(const std::vector<HistoryRecord>& records, const UndoPresent& present);

// The newest record of the adapter, when it is a write that was under way
// and that nothing finished: the program that made it was stopped or died
// during the write. Null otherwise.
const HistoryRecord* CutShortWrite(const std::vector<HistoryRecord>& records,
                                   const UndoPresent& present);

// The copy a record names, read and checked for undo: the file exists, it
// decodes as a backup file, and its content is what the record says the
// write started from. False with `fault` saying which check failed.
bool ReadRecordCopy(const HistoryRecord& record, PowerSaveCopy& copy, std::string& fault);
