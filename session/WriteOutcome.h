#pragma once
// How a write to an adapter ended, decided once for both front ends, and the
// history record that says so.

#include "session/History.h"
#include "session/PowerSaveState.h"

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

// Finishes a write's record: its result, the state it left and the digest of
// what the adapter holds after it, from the read-back's own fetch when one
// was made, else from what was sent when the adapter took it; none when
// neither is known. `target` is the state that was written.
void FinishRecord(WriteOutcome outcome, PowerSaveState target, PowerSaveState readBack,
                  const std::string& readBackDigest, const std::string& sentDigest,
                  HistoryRecord& record);
