#pragma once
// Which recorded change undo puts back. The history alone knows the order of
// the changes, and the digests prove what the adapter holds: a change is
// undone only while the adapter still holds what it left, so a change made
// since by another program, another user or on another adapter is never
// rolled back unasked.

#include "powersave/PowerSaveCopy.h"
#include "session/History.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The adapter as it is now.
struct UndoPresent {
  AdapterFamily family = AdapterFamily::QualcommAtheros;
  std::string address; // as records write it; empty for a parameter adapter
  // False when the image does not open, so its address is unknown: then the
  // record that left or sent what it holds names the adapter.
  bool addressKnown = true;
  BackupKind kind = BackupKind::NvmImage;
  std::vector<uint8_t> bytes; // what the adapter holds, as fetched
};

// The digest of `bytes` as `record` took its own: over its length, or, for a
// record of the second format, over the whole content.
std::string DigestAsRecorded(const HistoryRecord& record, BackupKind kind, const uint8_t* bytes,
                             uint32_t size);

enum class UndoVerdict {
  Undo,        // `record` is the change to undo: the adapter holds what it left
  Changed,     // the adapter no longer holds what `record`'s write left
  FirstFormat, // `record`, the last change, was written without digests
  NothingLeft, // no change of this adapter is left to undo
  Unproven,    // the image does not open, and no record left what it holds
};

enum class UndoPassReason {
  ChangedNothing, // its digests before and after agree
  NotWritten,     // failed or cut short, and the adapter still holds what it started from
  NoCopy,         // the image it started from did not open, so it cannot be put back
  UndoTook,       // an undo cut short that the adapter shows took effect
};

struct UndoPlan {
  UndoVerdict verdict = UndoVerdict::NothingLeft;
  std::size_t record = 0; // for Undo, Changed and FirstFormat: an index into the records
  struct Pass {
    std::size_t record;
    UndoPassReason why;
  };
  std::vector<Pass> passed; // newest first
  // The image does not open, so nothing shows that a record refused is this
  // adapter's: --force may not write its copy.
  bool addressUnknown = false;
};

// Walks the adapter's records, `records` oldest first, from the newest back,
// passing over undo records and the records they undid, and restores only on
// proof: a record is undone only while the adapter holds what it left.
UndoPlan PlanUndo(const std::vector<HistoryRecord>& records, const UndoPresent& present);

// The newest record of the adapter, when it is a write that was under way
// and that nothing finished: the program that made it was stopped or died
// during the write. `identified` when the adapter is shown to be that
// record's: by its address, or, when that is unknown or the family has none,
// by holding what the write started from or sent.
struct CutShort {
  const HistoryRecord* record = nullptr;
  bool identified = false;
};
CutShort CutShortWrite(const std::vector<HistoryRecord>& records, const UndoPresent& present);

// The copy a record names, read and checked for undo: the file exists, it
// decodes as a backup file, and its content is what the record says the
// write started from. False with `fault` saying which check failed.
bool ReadRecordCopy(const HistoryRecord& record, PowerSaveCopy& copy, std::string& fault);
