#include "session/UndoPlan.h"

#include "backup/BackupFile.h"
#include "powersave/PowerSaveCopy.h"
#include "session/ContentDigest.h"

#include <map>
#include <set>
#include <utility>

namespace {

bool IsAdapters(const HistoryRecord& record, const UndoPresent& present,
                const std::string& address) {
  return record.family == present.family && record.address == address;
}

// Whether the adapter holds what a record's digest says, hashed as that
// record hashed it; each way of hashing is taken once.
class Holds {
public:
  explicit Holds(const UndoPresent& present) : m_present(present) {}
  bool operator()(const HistoryRecord& record, const std::string& digest) {
    if (digest.empty())
      return false;
    const std::pair<bool, uint32_t> key = {HistoryHasLength(record.format), record.length};
    auto found = m_digests.find(key);
    if (found == m_digests.end())
      found = m_digests
                  .emplace(key, DigestAsRecorded(record, m_present.kind, m_present.bytes.data(),
                                                 static_cast<uint32_t>(m_present.bytes.size())))
                  .first;
    return found->second == digest;
  }

private:
  const UndoPresent& m_present;
  std::map<std::pair<bool, uint32_t>, std::string> m_digests;
};

// The adapter's address: the present one, or, when the image does not open,
// that of the newest record that left or sent what it holds. False when none
// did.
bool AdapterAddress(const std::vector<HistoryRecord>& records, const UndoPresent& present,
                    Holds& holds, std::string& address) {
  address = present.address;
  if (present.addressKnown)
    return true;
  for (std::size_t i = records.size(); i-- > 0;) {
    const HistoryRecord& record = records[i];
    if (record.family == present.family &&
        (holds(record, record.afterSha256) || holds(record, record.sentSha256))) {
      address = record.address;
      return true;
    }
  }
  return false;
}

} // namespace

std::string DigestAsRecorded(const HistoryRecord& record, BackupKind kind, const uint8_t* bytes,
                             uint32_t size) {
  return HistoryHasLength(record.format) ? CoveredDigest(bytes, size, record.length)
                                         : ContentDigest(kind, bytes, size);
}

UndoPlan PlanUndo(const std::vector<HistoryRecord>& records, const UndoPresent& present) {
  UndoPlan plan;
  plan.addressUnknown = !present.addressKnown;
  Holds holds(present);
  std::string address;
  if (!AdapterAddress(records, present, holds, address)) {
    plan.verdict = UndoVerdict::Unproven;
    return plan;
  }
  std::set<std::string> undone;
  for (std::size_t i = records.size(); i-- > 0;) {
    const HistoryRecord& record = records[i];
    if (!IsAdapters(record, present, address))
      continue;
    const bool started = record.result == HistoryResult::Started;
    if (record.action == HistoryAction::Undo) {
      // An undo that reached the adapter took its record's change back.
      if (ResultTookEffect(record.result)) {
        undone.insert(record.undoes);
      } else if (started && holds(record, record.sentSha256)) {
        undone.insert(record.undoes);
        plan.passed.push_back({i, UndoPassReason::UndoTook});
      }
      continue;
    }
    if (HistoryHasIds(record.format) && undone.count(record.id) != 0)
      continue;
    plan.record = i;
    if (!HistoryHasIds(record.format)) {
      plan.verdict = UndoVerdict::FirstFormat;
      return plan;
    }
    const std::string& before = record.beforeSha256;
    const std::string& after = record.afterSha256;
    if (!after.empty() && after == before) {
      plan.passed.push_back({i, UndoPassReason::ChangedNothing});
      continue;
    }
    // A repair onto an image that did not open kept no copy to go back to.
    if (record.before == PowerSaveState::Unavailable && record.copy.empty()) {
      plan.passed.push_back({i, UndoPassReason::NoCopy});
      continue;
    }
    if (holds(record, after) || (started && holds(record, record.sentSha256))) {
      plan.verdict = UndoVerdict::Undo;
      return plan;
    }
    if ((started || record.result == HistoryResult::Failed) && holds(record, before)) {
      plan.passed.push_back({i, UndoPassReason::NotWritten});
      continue;
    }
    // Whatever else the adapter holds, this record's write is not what left
    // it, so nothing older can be proven either.
    plan.verdict = UndoVerdict::Changed;
    return plan;
  }
  plan.verdict = UndoVerdict::NothingLeft;
  return plan;
}

CutShort CutShortWrite(const std::vector<HistoryRecord>& records, const UndoPresent& present) {
  CutShort cut;
  const bool byAddress = present.addressKnown && !present.address.empty();
  for (std::size_t i = records.size(); i-- > 0;) {
    const HistoryRecord& record = records[i];
    if (record.family != present.family || (byAddress && record.address != present.address))
      continue;
    if (record.result != HistoryResult::Started)
      return cut;
    Holds holds(present);
    cut.record = &record;
    cut.identified =
        byAddress || holds(record, record.beforeSha256) || holds(record, record.sentSha256);
    return cut;
  }
  return cut;
}

bool ReadRecordCopy(const HistoryRecord& record, PowerSaveCopy& copy, std::string& fault) {
  if (record.copy.empty()) {
    fault = "no automatic copy was kept before it";
    return false;
  }
  if (BackupReadFile(record.copy, copy, fault) != BackupReadResult::Read)
    return false;
  // A record of the first format has no digest to check the copy by.
  if (HistoryHasIds(record.format) &&
      DigestAsRecorded(record, copy.kind, copy.bytes, copy.size) != record.beforeSha256) {
    fault = record.copy + ": its content is not what the write started from";
    return false;
  }
  return true;
}
