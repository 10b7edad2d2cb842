#pragma once
// How a write to an adapter ended, decided once for both front ends, and the
// history record that says so.

#include "powersave/CPowerSaveOp.h"
#include "session/History.h"
#include "session/PowerSaveState.h"

#include <cstdint>
#include <string>

enum class WriteOutcome {
  Refused,            // refused before anything was sent: the adapter is as it was
  AdapterRefused,     // sent, and the adapter refused it
  ResetFailed,        // the adapter took it, and the reset after it failed
  Written,            // the adapter took it; not read back
  Verified,           // read back as written
  ReadBackDiffers,    // read back, and the adapter holds something else
  ReadBackUnreadable, // read back, and what the adapter holds cannot be read
};

// What the strategy and the read-back reported. `started`: the strategy's
// checks passed and it went on to write.
struct WriteFacts {
  bool started = false;
  bool written = false;
  bool resetFailed = false;
  bool readBack = false; // a read-back was made
  bool readable = false; // it read the state or the copy
  bool same = false;     // it found what was written
};

WriteOutcome DecideWriteOutcome(const WriteFacts& facts);
// The write did what was asked: the adapter holds it, and no read-back found
// otherwise.
bool WriteTook(WriteOutcome outcome);
// The adapter accepted what was sent: it holds it, or will from its next
// restart, unless a read-back found otherwise.
bool WriteAccepted(WriteOutcome outcome);
bool ReadBackMade(WriteOutcome outcome);

// Finishes a write's record: its result, the state it left and the digest of
// what the adapter holds after it, from the read-back's own fetch when one
// was made, else from what was sent when the adapter took it; none when
// neither is known. `target` is the state that was written.
void FinishRecord(WriteOutcome outcome, PowerSaveState target, PowerSaveState readBack,
                  const std::string& readBackDigest, const std::string& sentDigest,
                  HistoryRecord& record);

// The dialog's result line of a switch: "Enable device power save success!"
// and so on.
std::string PowerSaveResultLine(PowerSaveState target, bool done);

// What a read-back found wrong: the state it read, or, for a restore, the
// first byte that differs, or the size of the adapter's copy when it is
// shorter than what was written; the strategy's refusal when the copy could
// not be read.
struct ReadBackFault {
  enum class Kind { None, StateUnreadable, StateDiffers, CopyUnreadable, CopyDiffers, CopyShort };
  Kind kind = Kind::None;
  uint32_t offset = 0;
  uint8_t written = 0;
  uint8_t read = 0;
  uint32_t size = 0;
  std::string refusal; // UTF-8
};

// How a write ended, and what was kept of it.
struct SessionWrite {
  WriteOutcome outcome = WriteOutcome::Refused;
  // The strategy's refusal, in the system's code page: why nothing was
  // written, or how the adapter refused.
  PowerSaveError refused;
  uint32_t bytes = 0; // restore: how many bytes were written
  // The read-back: the state it found, and what differed or could not be read.
  PowerSaveState stateAfter = PowerSaveState::Unavailable;
  ReadBackFault readBackFault;
  // The automatic copy: its path, or why there is none when one was asked for.
  std::string copyPath;
  std::string copyFault;
  // Why the history has no record of a write that was sent; where a file in
  // the history's place that was not a history went.
  std::string historyFault;
  std::string historyMovedTo;
  std::string historyMovedWhy;
};

// What a write that went ahead did not keep, or moved, each with why: its
// automatic copy, its record, the history file it found in the history's
// place. Empty where it was kept. Most telling first: ostrelctl warns of
// each, the dialog shows the first.
struct WriteUnkept {
  std::string noCopy;
  std::string noRecord;
  std::string movedTo;
  std::string movedWhy;
};
WriteUnkept UnkeptOf(const SessionWrite& write);
