#include "session/UndoPlan.h"

#include "backup/BackupFile.h"
#include "powersave/PowerSaveCopy.h"
#include "session/ContentDigest.h"

#include <set>

namespace {

bool IsAdapters(const HistoryRecord& record, const UndoPresent& present,
                const std::string& address) {
  return record.family == present.family && record.address == address;
}

// The adapter's address: the present one, or, when the image does not open,
// that of the newest record that left what it holds. False when none did.
bool AdapterAddress(const std::vector<HistoryRecord>& records, const UndoPresent& present,
                    std::string& address) {
  address = present.address;
  if (present.addressKnown)
    return true;
  for (std::size_t i = records.size(); i-- > 0;) {
    const HistoryRecord& record = records[i];
    if (record.family == present.family && !record.afterSha256.empty() &&
        record.afterSha256 == present.digest) {
      address = record.address;
      return true;
    }
  }
  return false;
}

// An undo that reached the adapter took its record's change back.
bool UndoTookEffect(const HistoryRecord& undo) {
  return undo.result == "done" || undo.result == "unverified";
}

} // namespace

UndoPlan PlanUndo(const std::vector<HistoryRecord>& records, const UndoPresent& present) {
  UndoPlan plan;
  std::string address;
  if (!AdapterAddress(records, present, address)) {
    plan.verdict = UndoVerdict::Unproven;
    return plan;
  }
  std::set<std::string> undone;
  for (std::size_t i = records.size(); i-- > 0;) {
    const HistoryRecord& record = records[i];
    if (!IsAdapters(record, present, address))
      continue;
    if (record.action == "undo") {
      if (UndoTookEffect(record))
        undone.insert(record.undoes);
      continue;
    }
    if (record.format == 2 && undone.count(record.id) != 0)
      continue;
    plan.record = i;
    if (record.format != 2) {
      plan.verdict = UndoVerdict::FirstFormat;
      return plan;
    }
    const std::string& before = record.beforeSha256;
    const std::string& after = record.afterSha256;
    if (!after.empty() && after == before) {
      plan.passed.push_back({i, UndoPassReason::ChangedNothing});
      continue;
    }
    if (after.empty() && before == present.digest) {
      plan.passed.push_back({i, UndoPassReason::NotWritten});
      continue;
    }
    plan.verdict =
        after.empty() || after == present.digest ? UndoVerdict::Undo : UndoVerdict::Changed;
    return plan;
  }
  plan.verdict = UndoVerdict::NothingLeft;
  return plan;
}

const HistoryRecord* CutShortWrite(const std::vector<HistoryRecord>& records,
                                   const UndoPresent& present) {
  std::string address;
  if (!AdapterAddress(records, present, address)) {
    // Without the address only the family tells the adapter's records.
    for (std::size_t i = records.size(); i-- > 0;) {
      if (records[i].family == present.family)
        return records[i].result == "started" ? &records[i] : nullptr;
    }
    return nullptr;
  }
  for (std::size_t i = records.size(); i-- > 0;) {
    if (IsAdapters(records[i], present, address))
      return records[i].result == "started" ? &records[i] : nullptr;
  }
  return nullptr;
}

bool ReadRecordCopy(const HistoryRecord& record, PowerSaveCopy& copy, std::string& fault) {
  if (record.copy.empty()) {
    fault = "no automatic copy was kept before it";
    return false;
  }
  if (BackupReadFile(record.copy, copy, fault) != BackupReadResult::Read)
    return false;
  // A record of the first format has no digest to check the copy by.
  if (record.format == 2 && ContentDigest(copy) != record.beforeSha256) {
    fault = record.copy + ": its content is not what the write started from";
    return false;
  }
  return true;
}
