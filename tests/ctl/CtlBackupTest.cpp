// backup, and on/off --backup: a copy is saved only once checked, and never
// over another file unless --replace says so.

#include "CtlFixture.h"

#include "backup/BackupFile.h"
#include "nvm/PibAddress.h"

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

using Backup = CtlFixture;

enum class Before { Nothing, File };

// Each row: the command, whether its file is there already, whether the
// adapter's image opens, and what the run says; `saved` when the file then
// holds the adapter's image; `writes` how many writes reached the adapter.
TEST_F(Backup, ACopyIsCheckedFirstAndReplacesNothingUnlessAsked) {
  const std::string file = Path("notes");
  const std::string missing = Path("no such folder/backup.ostrel");
  const std::string exists = file + ": already exists; --replace replaces it; ";
  const std::string address =
      AddressText(builder.image.data() + builder.PibOffset() + kPibDeviceBlock).text;
  const struct {
    const char* row;
    std::vector<std::string> args;
    Before before;
    bool opens;
    CtlExpect expect;
    bool keptNew;
    std::size_t writes;
  } cases[] = {
      {"saved",
       {"backup", file},
       Before::Nothing,
       true,
       {0,
        {"(saved)", "layout: 7420-1.4", "address: " + address},
        {},
        {{"saved", JsonString(file)},
         {"layout", "\"7420-1.4\""},
         {"address", JsonString(address)}}},
       true,
       0},
      {"exists",
       {"backup", file},
       Before::File,
       true,
       {2,
        {},
        {"ostrelctl: " + exists + "nothing saved"},
        {{"saved", "(none)"},
         {"error", JsonString(exists + "nothing saved")},
         {"error_code", "\"backup_exists\""}}},
       false,
       0},
      {"replaced",
       {"backup", file, "--replace"},
       Before::File,
       true,
       {0,
        {"(saved)", "layout: 7420-1.4", "address: " + address},
        {},
        {{"saved", JsonString(file)}}},
       true,
       0},
      // An image that does not open is no copy, and the file stays as it was.
      {"refused",
       {"backup", file, "--replace"},
       Before::File,
       false,
       {1,
        {},
        {"ostrelctl: cannot take a copy: the adapter's image does not open as a "},
        {{"saved", "(none)"}}},
       false,
       0},
      {"no folder",
       {"backup", missing},
       Before::Nothing,
       true,
       {2, {}, {"ostrelctl: " + missing + ": cannot save the copy: "}, {}},
       false,
       0},
      // --force is for the adapter's checks; only --replace replaces a file.
      {"switch over a file",
       {"on", "--backup", file, "--force"},
       Before::File,
       true,
       {2,
        {},
        {"ostrelctl: " + exists + "nothing written"},
        {{"error", JsonString(exists + "nothing written")},
         {"error_code", "\"backup_exists\""},
         {"written", "(none)"}}},
       false,
       0},
      {"switch, no folder",
       {"on", "--backup", missing},
       Before::Nothing,
       true,
       {2, {}, {"ostrelctl: " + missing + ": cannot save the copy: "}, {}},
       false,
       0},
      {"switch",
       {"on", "--backup", file, "--replace"},
       Before::File,
       true,
       {0,
        {"(saved)", "layout: 7420-1.4", "address: " + address, "Enable device power save success!",
         "verified: on"},
        {},
        {{"saved", JsonString(file)}, {"written", "true"}}},
       true,
       1},
  };
  const std::vector<uint8_t> notes{'k', 'e', 'e', 'p'};
  WriteWhole(Path("notes.tmp"), notes);
  for (const auto& c : cases) {
    fake.calls.clear();
    fake.image = c.opens ? builder.image : Unopenable();
    std::filesystem::remove(file);
    if (c.before == Before::File)
      WriteWhole(file, notes);
    CtlOutput run = Run(c.args);
    // The size in the first line is the file's own.
    if (c.keptNew && !run.out.empty()) {
      EXPECT_EQ(run.out[0], "saved: " + file + " (" +
                                std::to_string(std::filesystem::file_size(file)) + " bytes)");
      run.out[0] = "(saved)";
    }
    ExpectRun(run, c.expect, c.row);
    EXPECT_EQ(Calls("WriteLocalPIB"), c.writes) << c.row;
    if (!c.keptNew) {
      EXPECT_EQ(std::filesystem::exists(file), c.before == Before::File) << c.row;
      if (c.before == Before::File) {
        EXPECT_EQ(ReadWhole(file), notes) << c.row;
      }
      continue;
    }
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

// A parameter that holds no data is no copy: nothing is saved.
TEST_F(Backup, AnEmptyParameterIsNoCopy) {
  UseBroadcom(true);
  fake.param[2] = 0;
  const CtlOutput run = Run({"backup", Path("empty.ostrel")});
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.err.size(), 1u);
  EXPECT_EQ(
      run.err[0],
      "ostrelctl: cannot take a copy: the adapter's parameter 41 holds no data; nothing saved");
  EXPECT_FALSE(std::filesystem::exists(Path("empty.ostrel")));
}

} // namespace
