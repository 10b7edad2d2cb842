// history: the records oldest first, needing neither the library nor the
// adapter; what is no record is skipped with a warning.

#include "CtlFixture.h"

#include "nvm/PibAddress.h"
#include "tests/session/SessionTestFiles.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

using History = CtlFixture;

enum class File { None, Records, Note, Foreign, Folder };

// Each row: what the history file holds, and what history says of it.
TEST_F(History, ListsTheRecordsAndSaysWhatItSkipped) {
  const std::string address =
      AddressText(builder.image.data() + builder.PibOffset() + kPibDeviceBlock).text;
  ASSERT_EQ(Run({"on"}).status, 0);
  const HistoryRecord on = Records().at(0);
  const std::vector<std::string> lines{
      on.time + "  ostrelctl  on  off -> on  done",
      "  qualcomm-atheros  " + address + "  INT7420-MAC-1.1.3",
      "  copy: " + on.copy,
      "  id: " + on.id + "  sha256: " + on.beforeSha256.substr(0, 12) + " -> " +
          on.afterSha256.substr(0, 12),
  };
  const std::string records = Bytes(HistoryPath());
  const std::string path = HistoryPath();
  const struct {
    const char* row;
    File file;
    CtlExpect expect;
  } cases[] = {
      {"no file", File::None, {0, {}, {}, {{"history", "[]"}}}},
      {"records", File::Records, {0, lines, {}, {{"action", "\"on\""}, {"id", JsonString(on.id)}}}},
      {"a note",
       File::Note,
       {0,
        lines,
        {"ostrelctl: warning: " + path + ": line 2 is not a history record; skipped"},
        {{"action", "\"on\""}}}},
      {"foreign",
       File::Foreign,
       {0,
        {},
        {"ostrelctl: warning: " + path + ": not a history this program can read ("},
        {{"history", "[]"}}}},
      {"a folder", File::Folder, {2, {}, {"ostrelctl: " + path + ": "}, {{"history", "(none)"}}}},
  };
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
    const CtlOutput run = Run({"history"});
    ExpectRun(run, c.expect, c.row);
    if (c.file == File::Foreign) {
      EXPECT_NE(run.err.at(0).find("); the next write moves it aside"), std::string::npos);
    }
    EXPECT_EQ(fake.CallsText(), "") << c.row;
  }
}

} // namespace
