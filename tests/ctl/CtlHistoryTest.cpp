// history: the records oldest first, needing neither the library nor the
// adapter; what is no record is skipped with a warning.

#include "CtlFixture.h"

#include "tests/session/SessionTestFiles.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

using History = CtlFixture;

enum class File { None, Records, Note, Foreign, Folder };

// Each row: what the history file holds, the run's facts, how many records
// it lists, the lines it skipped and whether it found a foreign file.
TEST_F(History, ListsTheRecordsAndSaysWhatItSkipped) {
  ASSERT_EQ(Run({"on"}).status, 0);
  const HistoryRecord on = Records().at(0);
  EXPECT_EQ(on.address, Address());
  EXPECT_EQ(on.firmware, "INT7420-MAC-1.1.3");
  const std::string records = Bytes(HistoryPath());
  const std::string path = HistoryPath();
  // clang-format off
  const struct {
    const char* row;
    File file;
    const char* facts;
    std::size_t listed;
    std::vector<std::size_t> skipped;
    bool foreign;
  } cases[] = {
      {"no file", File::None, "0", 0, {}, false},
      {"records", File::Records, "0", 1, {}, false},
      {"a note", File::Note, "0", 1, {2}, false},
      {"foreign", File::Foreign, "0", 0, {}, true},
      {"a folder", File::Folder, "2 file", 0, {}, false},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::filesystem::remove_all(path);
    if (c.file == File::Records || c.file == File::Note)
      Write(path, records);
    if (c.file == File::Note)
      AppendHistory("not a record");
    if (c.file == File::Foreign)
      Write(path, std::string("a\0b\r\n", 5));
    if (c.file == File::Folder)
      std::filesystem::create_directories(path);
    fake.calls.clear();
    const CtlResult run = Run({"history"});
    EXPECT_EQ(Facts(run), c.facts) << c.row;
    EXPECT_EQ(fake.CallsText(), "") << c.row;
    if (run.failure) {
      EXPECT_EQ(run.failure->path, path) << c.row;
      EXPECT_FALSE(run.history) << c.row;
      continue;
    }
    ASSERT_TRUE(run.history) << c.row;
    EXPECT_EQ(run.history->path, path) << c.row;
    ASSERT_EQ(run.history->records.size(), c.listed) << c.row;
    if (c.listed != 0) {
      EXPECT_EQ(HistoryLine(run.history->records[0]), HistoryLine(on)) << c.row;
    }
    EXPECT_EQ(run.history->skipped, c.skipped) << c.row;
    EXPECT_EQ(!run.history->foreign.empty(), c.foreign) << c.row;
  }
}

} // namespace
