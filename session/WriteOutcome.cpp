#include "session/WriteOutcome.h"

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

bool WriteTook(WriteOutcome outcome) {
  return outcome == WriteOutcome::Written || outcome == WriteOutcome::Verified;
}

bool WriteAccepted(WriteOutcome outcome) {
  return outcome != WriteOutcome::Refused && outcome != WriteOutcome::AdapterRefused;
}

bool ReadBackMade(WriteOutcome outcome) {
  return outcome == WriteOutcome::Verified || outcome == WriteOutcome::ReadBackDiffers ||
         outcome == WriteOutcome::ReadBackUnreadable;
}

void FinishRecord(WriteOutcome outcome, PowerSaveState target, PowerSaveState readBack,
                  const std::string& readBackDigest, const std::string& sentDigest,
                  HistoryRecord& record) {
  record.result = !WriteTook(outcome)                 ? HistoryResult::Failed
                  : outcome == WriteOutcome::Verified ? HistoryResult::Done
                                                      : HistoryResult::Unverified;
  if (ReadBackMade(outcome)) {
    record.after = readBack;
    record.afterSha256 = readBackDigest;
  } else if (WriteAccepted(outcome)) {
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

WriteUnkept UnkeptOf(const SessionWrite& write) {
  WriteUnkept unkept;
  if (write.outcome == WriteOutcome::Refused)
    return unkept;
  if (write.copyPath.empty())
    unkept.noCopy = write.copyFault;
  unkept.noRecord = write.historyFault;
  unkept.movedTo = write.historyMovedTo;
  if (!unkept.movedTo.empty())
    unkept.movedWhy = write.historyMovedWhy;
  return unkept;
}
