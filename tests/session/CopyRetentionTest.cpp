// Which automatic copies go: the history says, never the names or the clock.

#include "session/CopyRetention.h"

#include "tests/session/SessionTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kFolder = std::string("copies");
const std::string kSep(1, kPathSeparator);

HistoryRecord Named(const std::string& copy, const char* address = "00:b0:52:00:00:01") {
  HistoryRecord record;
  record.family = AdapterFamily::QualcommAtheros;
  record.address = address;
  record.copy = copy;
  return record;
}

std::string Copy(int n, const char* key = "00b052000001") {
  // Later records may carry earlier names: the clock was set back.
  return kFolder + kSep + "2026120" + std::to_string(9 - n % 10) + "-000000-" +
         (n < 10 ? "00" : "0") + std::to_string(n) + "_" + key + ".ostrel";
}

TEST(CopyRetention, ACopyGoesOnlyWhenItsRecordHasAgedOut) {
  std::vector<HistoryRecord> records;
  for (int i = 0; i < 25; ++i)
    records.push_back(Named(Copy(i)));
  records.insert(records.begin(), Named(Copy(0, "broadcom"), ""));
  records.insert(records.begin(), Named("C:" + kSep + "mine.ostrel"));
  records.insert(records.begin(), Named(kFolder + kSep + "notes.txt"));
  records.push_back(Named(""));
  const std::vector<std::string> removed = CopiesToRemove(records, {}, kFolder, Copy(3));
  // The adapter's newest 20 records are its last 19 copies and one with
  // none: copies 0 to 5 aged out, the just-saved copy 3 stays, and so do
  // the other adapter's copy and files not named as copies.
  const std::vector<std::string> expected = {Copy(5), Copy(4), Copy(2), Copy(1), Copy(0)};
  EXPECT_EQ(removed, expected);
  // A name a newer record still holds stays.
  records.push_back(Named(Copy(5)));
  const std::vector<std::string> again = CopiesToRemove(records, {}, kFolder, "");
  EXPECT_EQ(std::count(again.begin(), again.end(), Copy(5)), 0);
  // A record that left the history takes its copy along, unless a record
  // that stays names it too.
  const std::vector<std::string> left = CopiesToRemove(
      {Named(Copy(30)), Named(Copy(31))}, {Named(Copy(31)), Named(Copy(32))}, kFolder, "");
  EXPECT_EQ(left, std::vector<std::string>{Copy(32)});
}

// The copies of the adapter's newest 20 changes not undone stay, whatever
// else the history holds: each step is a record with a copy of its own. C: a
// change; N: a write that changed nothing; S: a write cut short; R: a write
// the adapter refused; U: an undo of the newest change not undone; F: an
// undo that failed.
TEST(CopyRetention, TheCopiesUndoNeedsStay) {
  const struct {
    const char* label;
    std::string steps;
    std::vector<int> removed; // the steps whose copies go, newest first
  } cases[] = {
      {"a change, then 21 that changed nothing", "C" + std::string(21, 'N'), {1}},
      {"21 changes", std::string(21, 'C'), {0}},
      {"21 changes, the newest undone", std::string(21, 'C') + "U", {}},
      {"21 changes and a failed undo", std::string(21, 'C') + "F", {0}},
      {"a write cut short is a change", "C" + std::string(20, 'S') + "N", {0}},
      {"a refused write may have changed it", "C" + std::string(20, 'R') + "N", {0}},
      {"twelve changes, twelve undos", std::string(12, 'C') + std::string(12, 'U'), {3, 2, 1, 0}},
      {"six on/off pairs, ten of them undone", std::string(12, 'C') + std::string(10, 'U'), {}},
  };
  for (const auto& c : cases) {
    std::vector<HistoryRecord> records;
    std::vector<std::string> changes; // not undone, oldest first
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const char step = c.steps[i];
      HistoryRecord record = Named(Copy(static_cast<int>(i)));
      record.id = "r" + std::to_string(i);
      record.result = step == 'S'                  ? HistoryResult::Started
                      : step == 'R' || step == 'F' ? HistoryResult::Failed
                                                   : HistoryResult::Done;
      record.beforeSha256 = std::string(64, 'a');
      record.afterSha256 = step == 'N' ? record.beforeSha256 : std::string(64, 'b');
      if (step == 'R' || step == 'S')
        record.afterSha256.clear();
      if (step == 'U' || step == 'F') {
        record.action = HistoryAction::Undo;
        record.undoes = changes.back();
        if (step == 'U')
          changes.pop_back();
      } else if (step != 'N') {
        changes.push_back(record.id);
      }
      records.push_back(record);
    }
    std::vector<std::string> expected;
    for (const int step : c.removed)
      expected.push_back(Copy(step));
    EXPECT_EQ(CopiesToRemove(records, {}, kFolder, ""), expected) << c.label;
  }
}

TEST(CopyRetention, NamesTellCopiesFromOtherFiles) {
  const struct {
    const char* name;
    bool copy;
  } cases[] = {
      {"20261208-072131-123_00b052000001.ostrel", true},
      {"20261208-072131-123-2_broadcom.ostrel", true},
      {"20261208-072131-123-109_broadcom.ostrel", true},
      {"20261208-072131-123-_broadcom.ostrel", false},
      {"20261208-072131-123_00B052000001.ostrel", false},
      {"20261208-072131-123_00b05200000.ostrel", false},
      {"20261208-072131-123_00b052000001.ostrel.bak", false},
      {"2026120a-072131-123_broadcom.ostrel", false},
      {"20261208-072131-123_..ostrel", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsCopyName(c.name), c.copy) << c.name;
}

// An image's copies are named for its address, in lower case; a parameter
// has none.
TEST(CopyRetention, ACopyIsNamedForItsAdapter) {
  const auto image = std::make_unique<PowerSaveCopy>();
  const uint8_t address[kPibAddressSize] = {0x00, 0xb0, 0x52, 0x0a, 0xff, 0x01};
  std::copy(std::begin(address), std::end(address), image->address);
  EXPECT_EQ(CopyAdapterKey(*image), "00b0520aff01");
  EXPECT_TRUE(IsCopyName(FileStamp(ClockTime{}) + "_" + CopyAdapterKey(*image) + ".ostrel"));
  const auto parameter = std::make_unique<PowerSaveCopy>();
  parameter->kind = BackupKind::Param41;
  EXPECT_EQ(CopyAdapterKey(*parameter), "broadcom");
}

TEST(CopyRetention, TwoCopiesInOneMillisecondGetNamesOfTheirOwn) {
  const std::string folder = SessionTestFolder() + kSep + "copies";
  std::string first, second, error;
  const ClockTime now = {2026, 12, 8, 7, 21, 31, 123};
  ASSERT_TRUE(SaveAutoCopy(folder, now, "broadcom", {1}, first, error)) << error;
  ASSERT_TRUE(SaveAutoCopy(folder, now, "broadcom", {2}, second, error)) << error;
  EXPECT_EQ(first, folder + kSep + "20261208-072131-123_broadcom.ostrel");
  EXPECT_EQ(second, folder + kSep + "20261208-072131-123-2_broadcom.ostrel");
  EXPECT_EQ(Bytes(first), std::string(1, '\1'));
}

} // namespace
