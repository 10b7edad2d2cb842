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
  record.family = "qualcomm-atheros";
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
  const std::vector<std::string> removed = CopiesToRemove(records, kFolder, Copy(3));
  // The adapter's newest 20 records are its last 19 copies and one with
  // none: copies 0 to 5 aged out, the just-saved copy 3 stays, and so do
  // the other adapter's copy and files not named as copies.
  const std::vector<std::string> expected = {Copy(5), Copy(4), Copy(2), Copy(1), Copy(0)};
  EXPECT_EQ(removed, expected);
  // A name a newer record still holds stays.
  records.push_back(Named(Copy(5)));
  const std::vector<std::string> again = CopiesToRemove(records, kFolder, "");
  EXPECT_EQ(std::count(again.begin(), again.end(), Copy(5)), 0);
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
