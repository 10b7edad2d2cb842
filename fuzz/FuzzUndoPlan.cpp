// PlanUndo and CutShortWrite on the records of any history, for an adapter
// picked from them: every record they name is one of the adapter's records,
// undo never picks an undo, nor a change that an undo which reached the
// adapter already took back, and picks a change only while the adapter holds
// what it left or, cut short, what it sent.
//
// The first three bytes say what the adapter is now: whose family and address
// (a record's, or a parameter adapter no record names), what it holds (eight
// bytes of the second byte's value, the content the seeds' digests are of)
// and whether its image opens, and whether it holds one more byte, past what
// the writes of the third format cover. The rest is the history file.
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

constexpr uint8_t kByteBeyond = 1;
constexpr uint8_t kAddressUnknown = 2;
constexpr uint8_t kNothingHeld = 4;

UndoPresent Present(const uint8_t* choice, const std::vector<HistoryRecord>& records) {
  UndoPresent present;
  const std::size_t adapter = choice[0] % (records.size() + 1);
  if (adapter < records.size()) {
    present.family = records[adapter].family;
    present.address = records[adapter].address;
  } else {
    present.family = AdapterFamily::Broadcom;
  }
  present.bytes.assign(8, choice[1]);
  if (choice[2] & kByteBeyond) {
    present.bytes.push_back(0xEE);
  }
  if (choice[2] & kNothingHeld) {
    present.bytes.clear();
  }
  if (choice[2] & kAddressUnknown) {
    present.addressKnown = false;
    present.address.clear();
  }
  return present;
}

bool Holds(const UndoPresent& present, const HistoryRecord& record, const std::string& digest) {
  return !digest.empty() && DigestAsRecorded(record, present.kind, present.bytes.data(),
                                             static_cast<uint32_t>(present.bytes.size())) == digest;
}

bool UndoTookEffect(const HistoryRecord& undo) {
  return undo.action == HistoryAction::Undo && ResultTookEffect(undo.result);
}

// Whether an undo of the record's adapter, written after it, reached the
// adapter and names it.
bool UndoneLater(const std::vector<HistoryRecord>& records, std::size_t index) {
  const HistoryRecord& record = records[index];
  for (std::size_t i = index + 1; i < records.size(); ++i) {
    const HistoryRecord& undo = records[i];
    if (UndoTookEffect(undo) && HistoryHasIds(record.format) && undo.undoes == record.id &&
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
    Require(named.action != HistoryAction::Undo && IsPresentAdapters(named, present));
    Require(!HistoryHasIds(named.format) == (plan.verdict == UndoVerdict::FirstFormat));
    if (plan.verdict == UndoVerdict::Undo) {
      // Only on proof: the adapter holds what the write left or sent.
      Require(!UndoneLater(records, plan.record));
      Require(Holds(present, named, named.afterSha256) ||
              (named.result == HistoryResult::Started && Holds(present, named, named.sentSha256)));
    }
  }
  // Newest first, and all newer than the record the plan names.
  std::size_t newer = records.size();
  for (const UndoPlan::Pass& pass : plan.passed) {
    Require(pass.record < newer);
    newer = pass.record;
    const HistoryRecord& passed = records[pass.record];
    Require((passed.action == HistoryAction::Undo) == (pass.why == UndoPassReason::UndoTook));
    Require(IsPresentAdapters(passed, present) && !UndoneLater(records, pass.record));
  }
  if (namesRecord) {
    Require(plan.record < newer);
  }

  const CutShort cut = CutShortWrite(records, present);
  if (cut.record != nullptr) {
    bool inRecords = false;
    for (const HistoryRecord& record : records) {
      inRecords = inRecords || &record == cut.record;
    }
    Require(inRecords && cut.record->result == HistoryResult::Started &&
            cut.record->family == present.family);
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
