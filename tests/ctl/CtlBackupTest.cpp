// backup, and on/off --backup: a copy is saved only once checked, and never
// over another file unless --replace says so.

#include "CtlFixture.h"

#include "backup/BackupFile.h"

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

using Backup = CtlFixture;

enum class Adapter { Opens, Unopenable, EmptyParameter };

// Each row: the command, whether its file is there already, what the adapter
// holds, the run's facts, and how the failure's text from outside begins;
// `saved` when the file then holds the adapter's image; `writes` how many
// writes reached the adapter.
TEST_F(Backup, ACopyIsCheckedFirstAndReplacesNothingUnlessAsked) {
  const std::string file = Path("notes");
  const std::string missing = Path("no such folder/backup.ostrel");
  // clang-format off
  const struct {
    const char* row;
    std::vector<std::string> args;
    bool before;
    Adapter adapter;
    const char *facts, *text;
    bool saved;
    std::size_t writes;
  } cases[] = {
      {"saved", {"backup", file}, false, Adapter::Opens, "0", "", true, 0},
      {"exists", {"backup", file}, true, Adapter::Opens, "2 backup_exists (nothing saved)", "", false, 0},
      {"replaced", {"backup", file, "--replace"}, true, Adapter::Opens, "0", "", true, 0},
      // An image that does not open is no copy, and the file stays as it was.
      {"refused", {"backup", file, "--replace"}, true, Adapter::Unopenable, "1 copy_refused (nothing saved)",
       "cannot take a copy: the adapter's image does not open as a ", false, 0},
      // A parameter that holds no data is no copy either.
      {"empty parameter", {"backup", file}, false, Adapter::EmptyParameter, "1 copy_refused (nothing saved)",
       "cannot take a copy: the adapter's parameter 41 holds no data", false, 0},
      {"no folder", {"backup", missing}, false, Adapter::Opens, "2 backup_unsaved (nothing saved)", "?", false,
       0},
      // --force is for the adapter's checks; only --replace replaces a file.
      {"switch over a file", {"on", "--backup", file, "--force"}, true, Adapter::Opens,
       "2 backup_exists (nothing written)", "", false, 0},
      {"switch, no folder", {"on", "--backup", missing}, false, Adapter::Opens,
       "2 backup_unsaved (nothing written)", "?", false, 0},
      {"switch", {"on", "--backup", file, "--replace"}, true, Adapter::Opens, "0 write:verified", "", true, 1},
  };
  // clang-format on
  const std::vector<uint8_t> notes{'k', 'e', 'e', 'p'};
  WriteWhole(Path("notes.tmp"), notes);
  for (const auto& c : cases) {
    fake.calls.clear();
    fake.plcType = 1;
    fake.image = c.adapter == Adapter::Unopenable ? Unopenable() : builder.image;
    if (c.adapter == Adapter::EmptyParameter) {
      UseBroadcom(true);
      fake.param[2] = 0;
    }
    std::filesystem::remove(file);
    if (c.before)
      WriteWhole(file, notes);
    const std::string& path = c.args[c.args[0] == "backup" ? 1 : 2];
    const CtlResult run = Run(c.args);
    EXPECT_EQ(Facts(run), c.facts) << c.row;
    // "?": the system's own words, whatever they are.
    const std::string text = FailureText(run);
    EXPECT_TRUE(c.text[0] == '?' ? !text.empty() : Begins(text, c.text)) << c.row << ": " << text;
    if (run.failure && run.failure->code != CtlFailure::CopyRefused) {
      EXPECT_EQ(run.failure->path, path) << c.row;
    }
    EXPECT_EQ(Calls("WriteLocalPIB"), c.writes) << c.row;
    EXPECT_EQ(run.saved.has_value(), c.saved) << c.row;
    if (!c.saved) {
      EXPECT_EQ(std::filesystem::exists(file), c.before) << c.row;
      if (c.before) {
        EXPECT_EQ(ReadWhole(file), notes) << c.row;
      }
      continue;
    }
    const CtlSaved& saved = *run.saved;
    EXPECT_EQ(saved.path, file) << c.row;
    EXPECT_EQ(saved.bytes, std::filesystem::file_size(file)) << c.row;
    EXPECT_TRUE(saved.image) << c.row;
    EXPECT_EQ(saved.layout, "7420-1.4") << c.row;
    EXPECT_EQ(saved.address, Address()) << c.row;
    const std::vector<uint8_t> bytes = ReadWhole(file);
    BackupCopy kept;
    ASSERT_TRUE(BackupDecode(bytes.data(), bytes.size(), kept)) << c.row;
    EXPECT_EQ(kept.bytes, builder.image) << c.row;
    EXPECT_EQ(kept.firmware, "INT7420-MAC-1.1.3") << c.row;
  }
  // Each file is written through a temporary file of its own; nothing else
  // in the folder changes.
  EXPECT_EQ(ReadWhole(Path("notes.tmp")), notes);
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"Ostrel", "notes", "notes.tmp"}));
}

} // namespace
