#include "session/WriteOutcome.h"

namespace {
// The adapter holds what was sent, or will from its next restart.
bool WriteTaken(WriteOutcome outcome) {
  return outcome != WriteOutcome::Refused && outcome != WriteOutcome::AdapterRefused;
}
} // namespace

WriteOutcome DecideWriteOutcome(const WriteFacts& facts) {
  if (!facts.started)
    return WriteOutcome::Refused;
  if (!facts.written)
    return facts.resetFailed ? WriteOutcome::ResetFailed : WriteOutcome::AdapterRefused;
  if (!facts.readBack)
    return WriteOutcome::Written;
  if (!facts.readable)
    return WriteOutcome::ReadBackUnreadable;
  return facts.same ? WriteOutcome::Verified : WriteOutcome::ReadBackDiffers;
}

void FinishRecord(WriteOutcome outcome, PowerSaveState target, PowerSaveState readBack,
                  const std::string& readBackDigest, const std::string& sentDigest,
                  HistoryRecord& record) {
  const bool readBackMade = outcome == WriteOutcome::Verified ||
                            outcome == WriteOutcome::ReadBackDiffers ||
                            outcome == WriteOutcome::ReadBackUnreadable;
  record.result = outcome == WriteOutcome::Verified  ? "done"
                  : outcome == WriteOutcome::Written ? "unverified"
                                                     : "failed";
  if (readBackMade) {
    record.after = PowerSaveStateName(readBack);
    record.afterSha256 = readBackDigest;
  } else if (WriteTaken(outcome)) {
    record.after = PowerSaveStateName(target);
    record.afterSha256 = sentDigest;
  } else {
    record.after = record.before;
    record.afterSha256.clear();
  }
}
