// backup and restore: a copy is saved only once checked, and never over
// another file unless --replace says so; a backup file is read and checked
// before anything reaches the adapter. Each way the strategies refuse a copy
// is theirs to decide; one stands for them all here.

#include "CtlFixture.h"

#include "backup/BackupFile.h"
#include "nvm/PibAddress.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Backup = CtlFixture;

// Each row: the command, whether its file is there already, what the adapter
// holds (CtlFixture::Given), the run's facts, and how the failure's text from
// outside begins ("?": the system's own words, whatever they are). A run
// that saves a file saves the adapter's image; one that does not leaves the
// file as it was. `writes`: how many writes reached the adapter.
TEST_F(Backup, ACopyIsCheckedFirstAndReplacesNothingUnlessAsked) {
  const std::string notes = Path("notes"), missing = Path("no such folder/backup.ostrel");
  const char* const unopenable = "cannot take a copy: the adapter's image does not open as a ";
  // clang-format off
  const struct {
    std::vector<std::string> args; bool before; const char *knobs, *facts, *text; std::size_t writes;
  } cases[] = {
      {{"backup", notes}, false, "", "0", "(none)", 0},
      {{"backup", notes}, true, "", "2 backup_exists (nothing saved)", "", 0},
      {{"backup", notes, "--replace"}, true, "", "0", "(none)", 0},
      // What does not open, or holds no data, is no copy.
      {{"backup", notes, "--replace"}, true, "X", "1 copy_refused (nothing saved)", unopenable, 0},
      {{"backup", notes}, false, "E", "1 copy_refused (nothing saved)",
       "cannot take a copy: the adapter's parameter 41 holds no data", 0},
      {{"backup", missing}, false, "", "2 backup_unsaved (nothing saved)", "?", 0},
      // --force is for the adapter's checks; only --replace replaces a file.
      {{"on", "--backup", notes, "--force"}, true, "", "2 backup_exists (nothing written)", "", 0},
      {{"on", "--backup", missing}, false, "", "2 backup_unsaved (nothing written)",
       "?", 0},
      {{"on", "--backup", notes, "--replace"}, true, "", "0 write:verified", "(none)", 1},
  };
  // clang-format on
  const std::vector<uint8_t> kept{'k', 'e', 'e', 'p'};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[c.args.size() - 1] + " " + c.facts);
    Given(c.knobs);
    std::filesystem::remove(notes);
    if (c.before)
      WriteWhole(notes, kept);
    const CtlResult run = Run(c.args);
    EXPECT_EQ(Facts(run), c.facts);
    const std::string text = FailureText(run);
    EXPECT_TRUE(c.text[0] == '?' ? !text.empty() : Begins(text, c.text)) << text;
    EXPECT_EQ(run.failure ? run.failure->path : "",
              c.facts[0] == '2' ? c.args[c.args[0] == "on" ? 2 : 1] : "");
    EXPECT_EQ(Calls("WriteLocalPIB"), c.writes);
    EXPECT_EQ(run.saved.has_value(), run.status == 0);
    if (!run.saved) {
      EXPECT_EQ(std::filesystem::exists(notes), c.before);
      EXPECT_EQ(ReadWhole(notes), c.before ? kept : std::vector<uint8_t>{});
      continue;
    }
    const CtlSaved& saved = *run.saved;
    EXPECT_EQ(saved.path + " " + std::to_string(saved.bytes) + (saved.image ? " image " : " ") +
                  saved.layout + " " + saved.address,
              notes + " " + std::to_string(std::filesystem::file_size(notes)) + " image 7420-1.4 " +
                  Address());
    const std::vector<uint8_t> bytes = ReadWhole(notes);
    BackupCopy copy;
    ASSERT_TRUE(BackupDecode(bytes.data(), bytes.size(), copy));
    EXPECT_EQ(copy.bytes, builder.image);
    EXPECT_EQ(copy.firmware, "INT7420-MAC-1.1.3");
  }
}

enum class File { Good, Damaged, OtherFirmware, Missing, Folder };

// Each row: the backup file of the adapter, taken while off, spoilt or not;
// what the adapter, with power save on since, holds or does
// (CtlFixture::Given); the run's facts, and how the failure's text, else the
// automatic copy's fault, begins. `restores`: the adapter holds the copy
// afterwards, recorded under the copy's address, even when forced onto an
// image that did not open.
TEST_F(Backup, EachWayARestoreEndsDoesWhatItSays) {
  const std::string backup = Path("backup.ostrel");
  ASSERT_EQ(Run({"backup", backup}).status, 0);
  const std::vector<uint8_t> file = ReadWhole(backup);
  BackupCopy copy;
  ASSERT_TRUE(BackupDecode(file.data(), file.size(), copy));
  std::vector<uint8_t> damaged = file;
  damaged[damaged.size() - 40] ^= 1;
  BackupCopy other = copy;
  other.firmware = "INT7420-MAC-9.9.9";
  const char* const refused = "1 restore_refused (nothing written) write:refused";
  // clang-format off
  const struct { File file; const char* knobs; bool force; const char* facts; std::string text; bool restores;
  } cases[] = {
      {File::Good, "O", false, "0 write:verified", "", true},
      // A file that does not decode stands for every such fault, each of
      // which the backup format's own tests tell apart.
      {File::Damaged, "O", false, "1 backup_refused (nothing written)", backup + ": ", false},
      {File::Missing, "O", false, "2 file (nothing written)", backup + ": ", false},
      // The file is read before the library is looked for: a file error
      // never waits for the adapter or depends on it.
      {File::Folder, "L", false, "2 file (nothing written)", folder + ": ", false},
      {File::OtherFirmware, "O", true, refused, "the copy was taken under the firmware \"INT7420-MAC-9.9.9\", "
       "this adapter runs \"INT7420-MAC-1.1.3\"", false},
      {File::Good, "X", false, refused, "the adapter's present image does not open", false},
      // The user's own good copy still repairs an image that does not open,
      // once forced.
      {File::Good, "X", true, "0 write:verified unkept:copy", "what the adapter holds makes no backup file: ",
       true},
      {File::Good, "OR", false, "1 reset_failed write:reset_failed", "", true},
      {File::Good, "OK", false, "1 read_back_differs write:read_back_differs/copy_differs", "", false},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.knobs) + (c.force ? " --force " : " ") + c.facts);
    Given(c.knobs);
    WriteWhole(backup, c.file == File::Damaged         ? damaged
                       : c.file == File::OtherFirmware ? BackupEncode(other)
                                                       : file);
    if (c.file == File::Missing)
      std::remove(backup.c_str());
    const std::vector<uint8_t> held = fake.image;
    std::vector<std::string> args{"restore", c.file == File::Folder ? folder : backup};
    if (c.force)
      args.push_back("--force");
    const CtlResult run = Run(args);
    EXPECT_EQ(Facts(run), c.facts);
    const std::string& said = run.failure ? run.failure->text : run.write->copyFault;
    EXPECT_TRUE(c.text.empty() ? said.empty() : Begins(said, c.text)) << said;
    EXPECT_EQ(fake.image, c.restores ? copy.bytes : held);
    // A file that is not a copy is refused before the library is reached.
    EXPECT_EQ(fake.calls.empty(), !run.write);
    EXPECT_EQ(run.restored, run.write ? backup : "");
    EXPECT_EQ(run.failure ? run.failure->path : "",
              Begins(c.facts, "1 restore_refused") ? backup : "");
    if (run.status == 0) {
      EXPECT_EQ(run.write->bytes, builder.WriteLength());
    }
    if (run.write && run.write->readBackFault.kind == ReadBackFault::Kind::CopyDiffers) {
      // The first byte that differs, with both values.
      const auto at = std::mismatch(copy.bytes.begin(), copy.bytes.end(), held.begin());
      const ReadBackFault& fault = run.write->readBackFault;
      EXPECT_EQ(fault.offset, at.first - copy.bytes.begin());
      EXPECT_EQ(fault.written, *at.first);
      EXPECT_EQ(fault.read, *at.second);
    }
    if (!c.restores)
      continue;
    const std::vector<HistoryRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].action, HistoryAction::Restore);
    EXPECT_EQ(records[0].address, AddressText(copy.address).text);
  }
}

} // namespace
