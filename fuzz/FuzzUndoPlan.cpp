// PlanUndo and CutShortWrite on the records of any history, for an adapter
// picked from them: every record they name is one of the adapter's records,
// and undo never picks an undo, nor a change that an undo which reached the
// adapter already took back.
//
// The first three bytes say what the adapter is now: whose family and address
// (a record's, or a parameter adapter no record names), whose digest it holds
// (a record's after or before digest, or one no record has) and whether its
// image opens. The rest is the history file.
#include <cstdlib>
#include <string>
#include <vector>

#include "session/History.h"
#include "session/UndoPlan.h"

namespace {

void Require(bool holds) {
  if (!holds) {
    std::abort();
  }
}

constexpr uint8_t kUseBeforeDigest = 1;
constexpr uint8_t kAddressUnknown = 2;
constexpr uint8_t kNoDigest = 4;

UndoPresent Present(const uint8_t* choice, const std::vector<HistoryRecord>& records) {
  UndoPresent present;
  const std::size_t adapter = choice[0] % (records.size() + 1);
  if (adapter < records.size()) {
    present.family = records[adapter].family;
    present.address = records[adapter].address;
  } else {
    present.family = "broadcom";
  }
  const std::size_t holder = choice[1] % (records.size() + 1);
  if (holder < records.size()) {
    const HistoryRecord& record = records[holder];
    present.digest = choice[2] & kUseBeforeDigest ? record.beforeSha256 : record.afterSha256;
  } else {
    present.digest = std::string(64, 'f');
  }
  if (choice[2] & kNoDigest) {
    present.digest.clear();
  }
  if (choice[2] & kAddressUnknown) {
    present.addressKnown = false;
    present.address.clear();
  }
  return present;
}

bool UndoTookEffect(const HistoryRecord& undo) {
  return undo.action == "undo" && (undo.result == "done" || undo.result == "unverified");
}

// Whether an undo of the record's adapter, written after it, reached the
// adapter and names it.
bool UndoneLater(const std::vector<HistoryRecord>& records, std::size_t index) {
  const HistoryRecord& record = records[index];
  for (std::size_t i = index + 1; i < records.size(); ++i) {
    const HistoryRecord& undo = records[i];
    if (UndoTookEffect(undo) && record.format == 2 && undo.undoes == record.id &&
        undo.family == record.family && undo.address == record.address) {
      return true;
    }
  }
  return false;
}

bool IsPresentAdapters(const HistoryRecord& record, const UndoPresent& present) {
  return record.family == present.family &&
         (!present.addressKnown || record.address == present.address);
}

void CheckPlan(const std::vector<HistoryRecord>& records, const UndoPresent& present) {
  const UndoPlan plan = PlanUndo(records, present);
  const bool namesRecord = plan.verdict == UndoVerdict::Undo ||
                           plan.verdict == UndoVerdict::Changed ||
                           plan.verdict == UndoVerdict::FirstFormat;
  if (namesRecord) {
    Require(plan.record < records.size());
    const HistoryRecord& named = records[plan.record];
    Require(named.action != "undo" && IsPresentAdapters(named, present));
    Require((named.format == 1) == (plan.verdict == UndoVerdict::FirstFormat));
    if (plan.verdict == UndoVerdict::Undo) {
      Require(!UndoneLater(records, plan.record));
    }
  }
  // Newest first, and all newer than the record the plan names.
  std::size_t newer = records.size();
  for (const UndoPlan::Pass& pass : plan.passed) {
    Require(pass.record < newer);
    newer = pass.record;
    const HistoryRecord& passed = records[pass.record];
    Require(passed.action != "undo" && IsPresentAdapters(passed, present));
    Require(!UndoneLater(records, pass.record));
  }
  if (namesRecord) {
    Require(plan.record < newer);
  }

  const HistoryRecord* cut = CutShortWrite(records, present);
  if (cut != nullptr) {
    bool inRecords = false;
    for (const HistoryRecord& record : records) {
      inRecords = inRecords || &record == cut;
    }
    Require(inRecords && cut->result == "started" && cut->family == present.family);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr std::size_t kChoice = 3;
  if (size < kChoice) {
    return 0;
  }
  HistoryFile file;
  HistoryScan(std::vector<uint8_t>(data + kChoice, data + size), file);
  CheckPlan(file.records, Present(data, file.records));
  return 0;
}
