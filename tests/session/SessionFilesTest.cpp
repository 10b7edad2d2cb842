#include "session/AutoCopies.h"
#include "session/History.h"

#include "files/WriteFile.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

// A new folder of this run's own: process ids come round again.
std::string TestFolder(const char* name) {
  char temp[MAX_PATH];
  ::GetTempPathA(sizeof temp, temp);
  const std::string folder = std::string(temp) + "ostrel-session-" +
                             std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(::GetTickCount64()) + "-" + name;
  ::CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::size_t CountFiles(const std::string& folder) {
  std::size_t count = 0;
  WIN32_FIND_DATAA found;
  const HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
  for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(search, &found))
    count += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  ::FindClose(search);
  return count;
}

HistoryRecord Record(const std::string& copy) {
  return {"2026-12-08T07:21:31Z", "ostrelctl", "off", "qualcomm-atheros", "00:b0:52:00:00:01",
          "INT7420-MAC-1.1", "on", "off", "done", copy};
}

// 25 copies of one adapter leave its newest 20; another adapter's copies and
// the user's own files in the folder are never touched.
TEST(AutoCopies, EachAdapterKeepsItsNewestTwentyAndNothingElseIsTouched) {
  const std::string folder = TestFolder("copies") + "\\Ostrel\\copies";
  std::string error, path;
  ASSERT_TRUE(MakeFolders(folder, error)) << error;
  const std::string theirs[] = {folder + "\\notes.txt",
                                folder + "\\20260101-000000-000_00b052000001.ostrel.bak",
                                folder + "\\2026-00b052000001.ostrel"};
  for (const std::string& file : theirs)
    ASSERT_EQ(WriteFileWhole(file, {1, 2, 3}, false, error), WriteFileResult::Written);
  ASSERT_TRUE(SaveAutoCopy(folder, "broadcom", {9}, path, error)) << error;
  const std::string other = path;
  std::vector<std::string> saved;
  for (int i = 0; i < 25; ++i) {
    ASSERT_TRUE(SaveAutoCopy(folder, "00b052000001", {static_cast<uint8_t>(i)}, path, error))
        << error;
    saved.push_back(path);
  }
  for (std::size_t i = 0; i < saved.size(); ++i)
    EXPECT_EQ(Exists(saved[i]), i >= 5) << saved[i];
  EXPECT_TRUE(NewestAutoCopy(folder, "00b052000001", path));
  EXPECT_EQ(path, saved.back());
  EXPECT_TRUE(Exists(other));
  for (const std::string& file : theirs)
    EXPECT_TRUE(Exists(file)) << file;
  EXPECT_EQ(CountFiles(folder), 20u + 1u + 3u);
  EXPECT_FALSE(NewestAutoCopy(folder, "00b052000002", path));
}

// A line is a record only when every field is there and each holds a value
// it may hold; anything else is damaged or foreign.
TEST(History, ALineIsARecordOnlyWhenWhole) {
  const std::string good = HistoryLine(Record("C:\\copies\\a.ostrel"));
  const struct {
    std::string line;
    bool record;
  } cases[] = {
      {good, true},
      {"", false},
      {"some other program's line", false},
      {"ostrel-history-2" + good.substr(good.find('\t')), false},
      {good.substr(0, good.rfind('\t')), false},
      {good + "\textra", false},
      {HistoryLine({"2026-12-08 07:21:31", "ostrelctl", "off", "broadcom", "", "", "on", "off",
                    "done", ""}),
       false},
      {HistoryLine({"2026-12-08T07:21:31Z", "other.exe", "off", "broadcom", "", "", "on", "off",
                    "done", ""}),
       false},
      {HistoryLine({"2026-12-08T07:21:31Z", "ostrelctl", "off", "broadcom", "", "", "maybe",
                    "off", "done", ""}),
       false},
      {good + "\\x4", false},
      {good + "\\q00", false},
  };
  for (const auto& c : cases) {
    HistoryRecord record;
    EXPECT_EQ(HistoryParse(c.line, record), c.record) << c.line;
  }
}

// Text from the device or a path can hold anything a line could be cut at.
TEST(History, EveryTextComesBackAsItWasWritten) {
  HistoryRecord written = Record("C:\\папка\\コピー.ostrel");
  written.firmware = "fw\t1\r\n\\x41\x01\x7f";
  HistoryRecord read;
  ASSERT_TRUE(HistoryParse(HistoryLine(written), read));
  for (const HistoryField& field : kHistoryFields)
    EXPECT_EQ(read.*field.value, written.*field.value) << field.name;
  EXPECT_EQ(HistoryLine(written).find_first_of("\r\n"), std::string::npos);
}

// The file keeps the newest 1000 lines; a line that is no record is read
// past and named.
TEST(History, KeepsTheNewestThousandAndNamesTheLinesItSkips) {
  const std::string path = TestFolder("history") + "\\history.txt";
  std::string lines = "not a record\r\n";
  for (int i = 1; i < 1000; ++i)
    lines += HistoryLine(Record("c" + std::to_string(i))) + "\r\n";
  std::string error;
  ASSERT_EQ(WriteFileWhole(path, std::vector<uint8_t>(lines.begin(), lines.end()), true, error),
            WriteFileResult::Written);
  std::vector<HistoryRecord> records;
  std::vector<std::size_t> skipped;
  ASSERT_TRUE(HistoryRead(path, records, skipped, error)) << error;
  EXPECT_EQ(records.size(), 999u);
  EXPECT_EQ(skipped, std::vector<std::size_t>{1});

  ASSERT_TRUE(HistoryAppend(path, Record("c1000"), error)) << error;
  ASSERT_TRUE(HistoryAppend(path, Record("c1001"), error)) << error;
  records.clear();
  skipped.clear();
  ASSERT_TRUE(HistoryRead(path, records, skipped, error)) << error;
  ASSERT_EQ(records.size(), kHistoryKept);
  EXPECT_TRUE(skipped.empty());
  EXPECT_EQ(records.front().copy, "c2");
  EXPECT_EQ(records.back().copy, "c1001");

  records.clear();
  EXPECT_TRUE(HistoryRead(path + ".none", records, skipped, error));
  EXPECT_TRUE(records.empty());
}

} // namespace
