// Which change undo puts back, and when it refuses: the history's order and
// the digests decide, never a file's name or the clock.

#include "session/UndoPlan.h"

#include "backup/BackupFile.h"
#include "session/ContentDigest.h"
#include "tests/session/SessionTestFiles.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char kA[] = "00:b0:52:00:00:01";
constexpr char kB[] = "00:b0:52:00:00:02";

// A change from digest `before` to `after` ("" unknown): digests are
// single letters here, made 64 long.
HistoryRecord Change(const char* id, const char* before, const char* after,
                     const char* address = kA, const char* result = "done",
                     const char* undoes = "") {
  HistoryRecord record;
  record.time = "2026-12-08T07:21:31Z";
  record.program = "ostrelctl";
  record.action = *undoes != '\0' ? "undo" : "off";
  record.family = "qualcomm-atheros";
  record.address = address;
  record.result = result;
  record.copy = std::string("copy-") + id;
  record.id = id;
  record.beforeSha256 = *before != '\0' ? std::string(64, *before) : "";
  record.afterSha256 = *after != '\0' ? std::string(64, *after) : "";
  record.undoes = undoes;
  return record;
}

HistoryRecord FirstFormat(const char* id) {
  HistoryRecord record = Change(id, "", "");
  record.format = 1;
  record.id.clear();
  return record;
}

UndoPresent Present(char digest, const char* address = kA) {
  return {"qualcomm-atheros", address, *address != '\0', std::string(64, digest)};
}

TEST(UndoPlan, FindsTheChangeToUndoOrSaysWhyNot) {
  using V = UndoVerdict;
  using R = UndoPassReason;
  const struct {
    const char* label;
    std::vector<HistoryRecord> records;
    UndoPresent present;
    V verdict;
    std::size_t record;
    std::vector<std::pair<std::size_t, R>> passed;
  } cases[] = {
      {"the last change",
       {Change("1", "a", "b"), Change("2", "b", "c")},
       Present('c'),
       V::Undo,
       1,
       {}},
      {"undo then undo: the change before the undone one",
       {Change("1", "a", "b"), Change("2", "b", "c"), Change("3", "c", "b", kA, "done", "2")},
       Present('b'),
       V::Undo,
       0,
       {}},
      {"everything undone",
       {Change("1", "a", "b"), Change("2", "b", "a", kA, "done", "1")},
       Present('a'),
       V::NothingLeft,
       0,
       {}},
      {"a failed undo undid nothing",
       {Change("1", "a", "b"), Change("2", "b", "", kA, "failed", "1")},
       Present('b'),
       V::Undo,
       0,
       {}},
      {"OK on the state it had: passed over",
       {Change("1", "a", "b"), Change("2", "b", "b")},
       Present('b'),
       V::Undo,
       0,
       {{1, R::ChangedNothing}}},
      {"a refused write: passed over",
       {Change("1", "a", "b"), Change("2", "b", "", kA, "failed")},
       Present('b'),
       V::Undo,
       0,
       {{1, R::NotWritten}}},
      {"cut short after it changed the adapter",
       {Change("1", "a", "b"), Change("2", "b", "", kA, "started")},
       Present('x'),
       V::Undo,
       1,
       {}},
      {"changed since by someone else", {Change("1", "a", "b")}, Present('z'), V::Changed, 0, {}},
      {"another adapter's records are not this one's",
       {Change("1", "a", "b"), Change("2", "b", "c", kB)},
       Present('b'),
       V::Undo,
       0,
       {}},
      {"no record of this adapter",
       {Change("1", "a", "b", kB)},
       Present('b'),
       V::NothingLeft,
       0,
       {}},
      {"a record of the first format",
       {Change("1", "a", "b"), FirstFormat("2")},
       Present('b'),
       V::FirstFormat,
       1,
       {}},
      {"an image that does not open, proven by the digest",
       {Change("1", "a", "b"), Change("2", "b", "c")},
       Present('c', ""),
       V::Undo,
       1,
       {}},
      {"an image that does not open, proven by the oldest record",
       {Change("1", "a", "b")},
       Present('b', ""),
       V::Undo,
       0,
       {}},
      {"an image that does not open, left by no record",
       {Change("1", "a", "b")},
       Present('q', ""),
       V::Unproven,
       0,
       {}},
  };
  for (const auto& c : cases) {
    const UndoPlan plan = PlanUndo(c.records, c.present);
    EXPECT_EQ(plan.verdict, c.verdict) << c.label;
    if (c.verdict != V::NothingLeft && c.verdict != V::Unproven) {
      EXPECT_EQ(plan.record, c.record) << c.label;
    }
    ASSERT_EQ(plan.passed.size(), c.passed.size()) << c.label;
    for (std::size_t i = 0; i < c.passed.size(); ++i) {
      EXPECT_EQ(plan.passed[i].record, c.passed[i].first) << c.label;
      EXPECT_EQ(plan.passed[i].why, c.passed[i].second) << c.label;
    }
  }
}

// A Broadcom parameter has no address: its records are told apart by the
// digests alone, so another adapter's change is refused, not undone.
TEST(UndoPlan, AParameterCopyOfAnotherAdapterIsRefused) {
  HistoryRecord change = Change("1", "a", "b", "");
  change.family = "broadcom";
  const UndoPresent other = {"broadcom", "", true, std::string(64, 'z')};
  EXPECT_EQ(PlanUndo({change}, other).verdict, UndoVerdict::Changed);
  const UndoPresent same = {"broadcom", "", true, std::string(64, 'b')};
  EXPECT_EQ(PlanUndo({change}, same).verdict, UndoVerdict::Undo);
}

TEST(UndoPlan, AWriteCutShortIsTheAdaptersNewestRecordStillStarted) {
  const std::vector<HistoryRecord> cut = {
      Change("1", "a", "b"), Change("2", "b", "", kA, "started"), Change("3", "x", "y", kB)};
  const HistoryRecord* found = CutShortWrite(cut, Present('x'));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->id, "2");
  EXPECT_EQ(CutShortWrite(cut, Present('y', kB)), nullptr);
  EXPECT_EQ(CutShortWrite({cut[1], cut[0]}, Present('b')), nullptr);
  // An image that does not open, left by no record: the family's newest.
  const std::vector<HistoryRecord> alone = {cut[1]};
  found = CutShortWrite(alone, Present('x', ""));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->id, "2");
}

} // namespace

namespace {

// The change's copy must be there, decode, and hold what the write started
// from; a record of the first format has no digest to hold it to.
TEST(UndoPlan, TheChangesCopyIsCheckedBeforeItIsWritten) {
  const std::string folder = SessionTestFolder();
  BackupCopy backup;
  backup.kind = BackupKind::Param41;
  backup.bytes = {1, 2, 2, 0, 1, 0x80, 0x99, 0x77};
  backup.bytes.resize(1500);
  const std::vector<uint8_t> file = BackupEncode(backup);
  ASSERT_FALSE(file.empty());
  const std::string good = folder + kPathSeparator + "good.ostrel";
  const std::string damaged = folder + kPathSeparator + "damaged.ostrel";
  Write(good, std::string(file.begin(), file.end()));
  Write(damaged, std::string(file.begin(), file.end() - 1) + "x");
  // The largest file read is decoded; one byte more is refused unread.
  const std::string largest = folder + kPathSeparator + "largest.ostrel";
  const std::string over = folder + kPathSeparator + "over.ostrel";
  Write(largest, std::string(2 * kBackupMaxCopy, 'x'));
  Write(over, std::string(2 * kBackupMaxCopy + 1, 'x'));
  // A parameter copy a backup file holds but no adapter takes.
  BackupCopy huge = backup;
  huge.bytes.resize(sizeof PowerSaveCopy::bytes + 1);
  const std::vector<uint8_t> hugeFile = BackupEncode(huge);
  ASSERT_FALSE(hugeFile.empty());
  const std::string tooMuch = folder + kPathSeparator + "too-much.ostrel";
  Write(tooMuch, std::string(hugeFile.begin(), hugeFile.end()));
  PowerSaveCopy copy;
  BackupToCopy(backup, copy);
  const std::string digest = ContentDigest(copy);
  const struct {
    std::string path;
    std::string digest;
    int format;
    const char* fault; // part of what the refusal says; "" when it is read
  } cases[] = {
      {good, digest, 2, ""},
      {good, std::string(64, 'a'), 2, "its content is not what the write started from"},
      {good, "", 1, ""},
      {damaged, digest, 2, "damaged.ostrel: "},
      {folder, digest, 2, "is a directory"},
      {folder + kPathSeparator + "gone.ostrel", digest, 2, "gone.ostrel: "},
      {"", digest, 2, "no automatic copy was kept before it"},
      {largest, digest, 2, "not an Ostrel backup file"},
      {over, digest, 2, "more than any backup file holds"},
      {tooMuch, digest, 2, "holds more than any adapter takes"},
  };
  for (const auto& c : cases) {
    HistoryRecord record = Change("1", "a", "b");
    record.copy = c.path;
    record.beforeSha256 = c.digest;
    record.format = c.format;
    const auto read = std::make_unique<PowerSaveCopy>();
    std::string fault;
    const bool expected = *c.fault == '\0';
    EXPECT_EQ(ReadRecordCopy(record, *read, fault), expected) << c.path << " " << fault;
    EXPECT_EQ(fault.empty(), expected) << c.path;
    EXPECT_NE(fault.find(c.fault), std::string::npos) << c.path << " " << fault;
  }
}

} // namespace
