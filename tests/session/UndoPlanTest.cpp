// Which change undo puts back, and when it refuses: the history's order and
// the digests decide, never a file's name or the clock.

#include "session/UndoPlan.h"

#include "backup/BackupFile.h"
#include "session/ContentDigest.h"
#include "session/CopyRetention.h"
#include "tests/session/SessionTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr char kA[] = "00:b0:52:00:00:01";
constexpr char kB[] = "00:b0:52:00:00:02";

// What an adapter holds is four bytes of one letter here; a write covers
// those four, and `beyond` is what it holds past them.
std::string Digest(char content) {
  const std::vector<uint8_t> bytes(4, static_cast<uint8_t>(content));
  return CoveredDigest(bytes.data(), 4, 4);
}

// A write from content `before` to `after` (' ' unknown), sending `after`.
HistoryRecord Change(const char* id, char before, char after, const char* address = kA,
                     HistoryResult result = HistoryResult::Done, const char* undoes = "") {
  const std::string sent = after != ' ' ? Digest(after) : "";
  const HistoryAction action = *undoes != '\0' ? HistoryAction::Undo : HistoryAction::Off;
  // clang-format off
  return {"2026-12-08T07:21:31Z", HistoryProgram::Ctl, action, AdapterFamily::QualcommAtheros, address,
          "", PowerSaveState::On, PowerSaveState::Off, result, std::string("copy-") + id, id,
          Digest(before), sent, undoes, 4, sent};
  // clang-format on
}

HistoryRecord OfBroadcom(HistoryRecord record) {
  record.family = AdapterFamily::Broadcom;
  record.address.clear();
  return record;
}

// A history, one record a word, ids counting from 1: the contents before and
// sent; how it ended ("!" failed, "?" cut short, else done, holding what it
// sent); "<N" for an undo of record N. A first letter says what else: "B"
// of adapter B, "P" of a Broadcom adapter, "2" of the second format (no
// length, nothing sent, digests over the whole content), "1" of the first,
// "R" a repair onto an image that did not open, so with no copy.
std::vector<HistoryRecord> Records(const std::string& words) {
  std::vector<HistoryRecord> records;
  std::istringstream in(words);
  for (std::string word; in >> word;) {
    const char kind = std::isupper(word[0]) || std::isdigit(word[0]) ? word[0] : ' ';
    const std::size_t at = kind == ' ' ? 0 : 1;
    const std::size_t undo = word.find('<');
    const std::string undoes = undo == std::string::npos ? "" : word.substr(undo + 1, 1);
    const char end = word.back();
    const std::string id = std::to_string(records.size() + 1);
    HistoryRecord record = Change(id.c_str(), word[at], word[at + 1], kind == 'B' ? kB : kA,
                                  end == '!'   ? HistoryResult::Failed
                                  : end == '?' ? HistoryResult::Started
                                               : HistoryResult::Done,
                                  undoes.c_str());
    if (end == '!' || end == '?')
      record.afterSha256.clear();
    if (kind == 'P')
      record = OfBroadcom(record);
    if (kind == '1' || kind == '2') {
      record.format = static_cast<HistoryFormat>(kind - '0');
      record.length = 0;
      record.sentSha256.clear();
    }
    if (kind == '1')
      record.id.clear();
    if (kind == 'R') {
      record.action = HistoryAction::Restore;
      record.before = PowerSaveState::Unavailable;
      record.copy.clear();
    }
    records.push_back(record);
  }
  return records;
}

UndoPresent Present(char content, const char* address = kA, const std::string& beyond = "") {
  std::string bytes = std::string(4, content) + beyond;
  return {AdapterFamily::QualcommAtheros, address, *address != '\0', BackupKind::NvmImage,
          std::vector<uint8_t>(bytes.begin(), bytes.end())};
}

UndoPresent Broadcom(char content) {
  UndoPresent present = Present(content, "");
  present.family = AdapterFamily::Broadcom;
  present.addressKnown = true;
  return present;
}

TEST(UndoPlan, FindsTheChangeToUndoOrSaysWhyNot) {
  using V = UndoVerdict;
  using R = UndoPassReason;
  const struct {
    const char* label;
    const char* records;
    UndoPresent present;
    V verdict;
    std::size_t record;
    std::vector<std::pair<std::size_t, R>> passed;
  } cases[] = {
      // clang-format off
      {"the last change", "ab bc", Present('c'), V::Undo, 1, {}},
      {"undo then undo: the change before", "ab bc cb<2", Present('b'), V::Undo, 0, {}},
      {"everything undone", "ab ba<1", Present('a'), V::NothingLeft, 0, {}},
      {"a failed undo undid nothing", "ab ba<1!", Present('b'), V::Undo, 0, {}},
      {"OK on the state it had", "ab bb", Present('b'), V::Undo, 0, {{1, R::ChangedNothing}}},
      {"a refused write", "ab bc!", Present('b'), V::Undo, 0, {{1, R::NotWritten}}},
      {"a refused write, then a change outside", "ab bc!", Present('z'), V::Changed, 1, {}},
      {"a write killed after it stored", "ab bc?", Present('c'), V::Undo, 1, {}},
      {"a write killed before it stored", "ab bc?", Present('b'), V::Undo, 0, {{1, R::NotWritten}}},
      {"a write killed, then a change outside", "ab bc?", Present('z'), V::Changed, 1, {}},
      {"an undo killed after it stored", "ab bc cb<2?", Present('b'), V::Undo, 0, {{2, R::UndoTook}}},
      {"an undo killed before it stored", "ab bc cb<2?", Present('c'), V::Undo, 1, {}},
      {"a byte past the writes changed", "ab bc", Present('c', kA, "Z"), V::Undo, 1, {}},
      {"the second format covers it all", "2ab", Present('b', kA, "Z"), V::Changed, 0, {}},
      {"the second format, as before", "2ab", Present('b'), V::Undo, 0, {}},
      {"the second format cut short proves nothing", "ab 2bc?", Present('c'), V::Changed, 1, {}},
      {"changed since by someone else", "ab", Present('z'), V::Changed, 0, {}},
      {"taken back by someone else", "ab", Present('a'), V::Changed, 0, {}},
      {"a repair that kept no copy", "ab Rxa", Present('a'), V::Changed, 0, {{1, R::NoCopy}}},
      {"another adapter's records", "ab Bbc", Present('b'), V::Undo, 0, {}},
      {"no record of this adapter", "Bab", Present('b'), V::NothingLeft, 0, {}},
      {"a record of the first format", "ab 1bc", Present('b'), V::FirstFormat, 1, {}},
      {"does not open, proven by what was left", "ab bc", Present('c', ""), V::Undo, 1, {}},
      {"does not open, proven by what was sent", "Bab bc?", Present('c', ""), V::Undo, 1, {}},
      {"does not open, left by no record", "ab", Present('q', ""), V::Unproven, 0, {}},
      {"does not open, proven by the oldest record", "ab", Present('b', ""), V::Undo, 0, {}},
      {"Broadcom: another adapter, a refused write", "Pab Pbc!", Broadcom('z'), V::Changed, 1, {}},
      {"Broadcom: every Broadcom record", "Pab Pbc", Broadcom('c'), V::Undo, 1, {}},
      // clang-format on
  };
  for (const auto& c : cases) {
    const std::vector<HistoryRecord> records = Records(c.records);
    const UndoPlan plan = PlanUndo(records, c.present);
    EXPECT_EQ(plan.verdict, c.verdict) << c.label;
    if (c.verdict != V::NothingLeft && c.verdict != V::Unproven) {
      EXPECT_EQ(plan.record, c.record) << c.label;
    }
    EXPECT_EQ(plan.addressUnknown, !c.present.addressKnown) << c.label;
    ASSERT_EQ(plan.passed.size(), c.passed.size()) << c.label;
    for (std::size_t i = 0; i < c.passed.size(); ++i) {
      EXPECT_EQ(plan.passed[i].record, c.passed[i].first) << c.label;
      EXPECT_EQ(plan.passed[i].why, c.passed[i].second) << c.label;
    }
  }
}

// Undo after undo walks back through every change, and their copies stay
// until they are undone: the adapter ends as it began.
TEST(UndoPlan, TwelveChangesAndTwelveUndosEndWhereTheyBegan) {
  std::vector<HistoryRecord> records;
  std::vector<std::string> ids;
  for (char content = 'a'; content < 'a' + 12; ++content) {
    ids.push_back(std::string(1, content));
    records.push_back(Change(ids.back().c_str(), content, static_cast<char>(content + 1)));
    records.back().copy = "copies" + std::string(1, kPathSeparator) + "20261208-000000-0" +
                          std::to_string(10 + content - 'a') + "_00b052000001.ostrel";
  }
  char held = 'a' + 12;
  for (int undo = 0; undo < 12; ++undo) {
    const UndoPlan plan = PlanUndo(records, Present(held));
    ASSERT_EQ(plan.verdict, UndoVerdict::Undo) << undo;
    const HistoryRecord& change = records[plan.record];
    ASSERT_EQ(change.afterSha256, Digest(held)) << undo;
    const std::vector<std::string> removed = CopiesToRemove(records, {}, "copies", "");
    EXPECT_EQ(std::count(removed.begin(), removed.end(), change.copy), 0) << undo;
    const char back = static_cast<char>(held - 1);
    records.push_back(
        Change(("u" + change.id).c_str(), held, back, kA, HistoryResult::Done, change.id.c_str()));
    held = back;
  }
  EXPECT_EQ(held, 'a');
  EXPECT_EQ(PlanUndo(records, Present(held)).verdict, UndoVerdict::NothingLeft);
}

// A history that its own next write would take past what the reader takes is
// moved aside first, and the new file starts with its newest records, so
// both changes still undo.
TEST(UndoPlan, AHistoryNearItsLimitLosesNoChange) {
  const std::string path = SessionTestFolder() + kPathSeparator + "history.txt";
  const std::vector<HistoryRecord> two = Records("ab bc?");
  HistoryRecord first = two[0], second = two[1];
  const std::size_t line = HistoryLine(first).size() + 2;
  Write(path, std::string(kHistoryMaxFileSize - line - 10, '#') + "\n");
  HistoryPut put;
  std::string error;
  const ClockTime now = {2026, 12, 8, 7, 21, 31, 123};
  ASSERT_TRUE(HistoryPutRecord(path, first, now, put, error)) << error;
  EXPECT_EQ(put.movedTo, "");
  ASSERT_TRUE(HistoryPutRecord(path, second, now, put, error)) << error;
  EXPECT_NE(put.movedTo, "");
  EXPECT_NE(put.movedWhy.find("grown past 16777216 bytes"), std::string::npos) << put.movedWhy;
  second.result = HistoryResult::Done;
  second.afterSha256 = second.sentSha256;
  ASSERT_TRUE(HistoryPutRecord(path, second, now, put, error)) << error;
  EXPECT_EQ(Bytes(path), HistoryLine(first) + "\r\n" + HistoryLine(second) + "\r\n");
  HistoryFile file;
  ASSERT_TRUE(HistoryLoad(path, file, error)) << error;
  UndoPlan plan = PlanUndo(file.records, Present('c'));
  ASSERT_EQ(plan.verdict, UndoVerdict::Undo);
  EXPECT_EQ(file.records[plan.record].id, "2");
  file.records.push_back(Change("3", 'c', 'b', kA, HistoryResult::Done, "2"));
  plan = PlanUndo(file.records, Present('b'));
  ASSERT_EQ(plan.verdict, UndoVerdict::Undo);
  EXPECT_EQ(file.records[plan.record].id, "1");
}

// A cut-short write is told to this adapter only when it is shown to be the
// one written; otherwise the warning names the other.
TEST(UndoPlan, AWriteCutShortIsTheAdaptersNewestRecordStillStarted) {
  const struct {
    const char* label;
    const char* records;
    UndoPresent present;
    const char* found; // the record's id, "" for none
    bool identified;
  } cases[] = {
      {"its address", "ab bc? Bxy", Present('z'), "2", true},
      {"another address", "bc? Bxy", Present('y', kB), "", false},
      {"finished since", "bc? bd", Present('d'), "", false},
      {"does not open, holds what it started from", "bc?", Present('b', ""), "1", true},
      {"does not open, holds what it sent", "bc?", Present('c', ""), "1", true},
      {"does not open, holds something else", "bc?", Present('q', ""), "1", false},
      {"Broadcom, holds what it sent", "Pbc?", Broadcom('c'), "1", true},
      {"Broadcom, another adapter", "Pbc?", Broadcom('q'), "1", false},
  };
  for (const auto& c : cases) {
    const std::vector<HistoryRecord> records = Records(c.records);
    const CutShort found = CutShortWrite(records, c.present);
    EXPECT_EQ(found.record != nullptr ? found.record->id : "", c.found) << c.label;
    EXPECT_EQ(found.identified, c.identified) << c.label;
  }
}

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
  // The third format's covers the bytes the record says were written.
  const std::string covered = CoveredDigest(copy.bytes, copy.size, 4);
  const struct {
    std::string path;
    std::string digest;
    int format;
    const char* fault; // part of what the refusal says; "" when it is read
  } cases[] = {
      {good, digest, 2, ""},
      {good, covered, 3, ""},
      {good, digest, 3, "its content is not what the write started from"},
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
    HistoryRecord record = Change("1", 'a', 'b');
    record.copy = c.path;
    record.beforeSha256 = c.digest;
    record.format = static_cast<HistoryFormat>(c.format);
    const auto read = std::make_unique<PowerSaveCopy>();
    std::string fault;
    const bool expected = *c.fault == '\0';
    EXPECT_EQ(ReadRecordCopy(record, *read, fault), expected) << c.path << " " << fault;
    EXPECT_EQ(fault.empty(), expected) << c.path;
    EXPECT_NE(fault.find(c.fault), std::string::npos) << c.path << " " << fault;
  }
}

} // namespace
