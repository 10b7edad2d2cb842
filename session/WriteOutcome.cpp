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
  record.result = outcome == WriteOutcome::Verified  ? HistoryResult::Done
                  : outcome == WriteOutcome::Written ? HistoryResult::Unverified
                                                     : HistoryResult::Failed;
  if (readBackMade) {
    record.after = readBack;
    record.afterSha256 = readBackDigest;
  } else if (WriteTaken(outcome)) {
    record.after = target;
    record.afterSha256 = sentDigest;
  } else {
    record.after = record.before;
    record.afterSha256.clear();
  }
}

std::string PowerSaveResultLine(PowerSaveState target, bool done) {
  return std::string(target == PowerSaveState::On ? "Enable" : "Disable") +
         (done ? " device power save success!" : " device power save fail!");
}

std::vector<std::string> UnkeptLines(const SessionWrite& write) {
  std::vector<std::string> lines;
  if (write.outcome == WriteOutcome::Refused)
    return lines;
  if (write.copyPath.empty() && !write.copyFault.empty())
    lines.push_back("no automatic copy was saved before the write: " + write.copyFault);
  if (!write.historyFault.empty())
    lines.push_back("the write is not in the history: " + write.historyFault);
  if (!write.historyMovedTo.empty())
    lines.push_back("the history was moved aside to " + write.historyMovedTo + ": " +
                    write.historyMovedWhy);
  return lines;
}
