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
#include <set>
#include <string>
#include <vector>

namespace {

using Backup = CtlFixture;

enum class Adapter { Opens, Unopenable, EmptyParameter };

// Each row: the command, whether its file is there already, what the adapter
// holds, the run's facts, and how the failure's text from outside begins
// ("?": the system's own words, whatever they are); `saved` when the file
// then holds the adapter's image; `writes` how many writes reached the
// adapter.
TEST_F(Backup, ACopyIsCheckedFirstAndReplacesNothingUnlessAsked) {
  const std::string file = Path("notes");
  const std::string missing = Path("no such folder/backup.ostrel");
  const std::string unopenable = "cannot take a copy: the adapter's image does not open as a ";
  // clang-format off
  const struct {
    const char* row;
    std::vector<std::string> args;
    bool before;
    Adapter adapter;
    const char* facts;
    std::string text;
    bool saved;
    std::size_t writes;
  } cases[] = {
      {"saved", {"backup", file}, false, Adapter::Opens, "0", "", true, 0},
      {"exists", {"backup", file}, true, Adapter::Opens, "2 backup_exists (nothing saved)", "", false, 0},
      {"replaced", {"backup", file, "--replace"}, true, Adapter::Opens, "0", "", true, 0},
      // What does not open, or holds no data, is no copy; the file stays as it was.
      {"refused", {"backup", file, "--replace"}, true, Adapter::Unopenable, "1 copy_refused (nothing saved)",
       unopenable, false, 0},
      {"empty parameter", {"backup", file}, false, Adapter::EmptyParameter, "1 copy_refused (nothing saved)",
       "cannot take a copy: the adapter's parameter 41 holds no data", false, 0},
      {"no folder", {"backup", missing}, false, Adapter::Opens, "2 backup_unsaved (nothing saved)", "?", false, 0},
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
    SCOPED_TRACE(c.row);
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
    const CtlResult run = Run(c.args);
    EXPECT_EQ(Facts(run), c.facts);
    const std::string text = FailureText(run);
    EXPECT_TRUE(c.text == "?" ? !text.empty() : Begins(text, c.text)) << text;
    if (run.failure && run.failure->code != CtlFailure::CopyRefused) {
      EXPECT_EQ(run.failure->path, c.args[c.args[0] == "backup" ? 1 : 2]);
    }
    EXPECT_EQ(Calls("WriteLocalPIB"), c.writes);
    EXPECT_EQ(run.saved.has_value(), c.saved);
    if (!c.saved) {
      EXPECT_EQ(ReadWhole(file), c.before ? notes : std::vector<uint8_t>{});
      EXPECT_EQ(std::filesystem::exists(file), c.before);
      continue;
    }
    const CtlSaved& saved = *run.saved;
    EXPECT_EQ(saved.path + " " + std::to_string(saved.bytes) + (saved.image ? " image " : " ") +
                  saved.layout + " " + saved.address,
              file + " " + std::to_string(std::filesystem::file_size(file)) + " image 7420-1.4 " +
                  Address());
    const std::vector<uint8_t> bytes = ReadWhole(file);
    BackupCopy kept;
    ASSERT_TRUE(BackupDecode(bytes.data(), bytes.size(), kept));
    EXPECT_EQ(kept.bytes, builder.image);
    EXPECT_EQ(kept.firmware, "INT7420-MAC-1.1.3");
  }
  // Each file is written through a temporary file of its own; nothing else
  // in the folder changes.
  EXPECT_EQ(ReadWhole(Path("notes.tmp")), notes);
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"Ostrel", "notes", "notes.tmp"}));
}

enum class File { Good, Damaged, OtherFirmware, Missing, Folder };
enum class Held { On, Unopenable, KeepsNoWrite, ResetFails, NoLibrary };

// Each row: the backup file of the adapter, taken while off, then spoilt or
// not; what the adapter holds or does once switched on; the run's facts, and
// how the failure's text, else the automatic copy's fault, begins.
// `restores`: the adapter holds the copy afterwards, recorded under the
// copy's address: a restore forced onto an image that did not open is
// recorded under the address of the image it wrote.
TEST_F(Backup, EachWayARestoreEndsDoesWhatItSays) {
  const std::string backup = Path("backup.ostrel");
  const char* const refused = "1 restore_refused (nothing written) write:refused";
  // clang-format off
  const struct {
    const char* row;
    File file;
    Held adapter;
    bool force;
    const char* facts;
    std::string text;
    bool restores;
  } cases[] = {
      {"restored", File::Good, Held::On, false, "0 write:verified", "", true},
      // A file that does not decode stands for every such fault, each of
      // which the backup format's own tests tell apart.
      {"damaged", File::Damaged, Held::On, false, "1 backup_refused (nothing written)", backup + ": ", false},
      {"missing", File::Missing, Held::On, false, "2 file (nothing written)", backup + ": ", false},
      // The file is read before the library is looked for: a file error
      // never waits for the adapter or depends on it.
      {"folder", File::Folder, Held::NoLibrary, false, "2 file (nothing written)", folder + ": ", false},
      {"other firmware", File::OtherFirmware, Held::On, true, refused, "the copy was taken under the "
       "firmware \"INT7420-MAC-9.9.9\", this adapter runs \"INT7420-MAC-1.1.3\"", false},
      {"unopenable", File::Good, Held::Unopenable, false, refused, "the adapter's present image does not open",
       false},
      // The user's own good copy still repairs an image that does not open,
      // once forced.
      {"unopenable forced", File::Good, Held::Unopenable, true, "0 write:verified",
       "what the adapter holds makes no backup file: ", true},
      {"reset failed", File::Good, Held::ResetFails, false, "1 reset_failed write:reset_failed", "", true},
      {"read back differs", File::Good, Held::KeepsNoWrite, false, "1 read_back_differs write:read_back_differs",
       "", false},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    fake.image = builder.image;
    fake.storesWrites = true;
    fake.resetResult = 1;
    HostRefuses(true, true);
    ASSERT_EQ(Run({"backup", backup, "--replace"}).status, 0);
    ASSERT_EQ(Run({"on"}).status, 0);
    BackupCopy copy;
    const std::vector<uint8_t> file = ReadWhole(backup);
    ASSERT_TRUE(BackupDecode(file.data(), file.size(), copy));
    if (c.file == File::Damaged) {
      std::vector<uint8_t> damaged = file;
      damaged[damaged.size() - 40] ^= 1;
      WriteWhole(backup, damaged);
    } else if (c.file == File::OtherFirmware) {
      BackupCopy other = copy;
      other.firmware = "INT7420-MAC-9.9.9";
      WriteWhole(backup, BackupEncode(other));
    } else if (c.file == File::Missing) {
      std::remove(backup.c_str());
    }
    if (c.adapter == Held::Unopenable)
      fake.image = Unopenable();
    fake.storesWrites = c.adapter != Held::KeepsNoWrite;
    fake.resetResult = c.adapter != Held::ResetFails;
    HostRefuses(c.adapter != Held::NoLibrary, true);
    const std::vector<uint8_t> held = fake.image;
    const std::size_t records = Records().size();
    fake.calls.clear();
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
    if (!run.write)
      continue;
    EXPECT_EQ(run.restored, backup);
    if (run.failure && run.failure->code == CtlFailure::RestoreRefused) {
      EXPECT_EQ(run.failure->path, backup);
    }
    if (run.status == 0) {
      EXPECT_EQ(run.write->bytes, builder.WriteLength());
    }
    if (c.adapter == Held::KeepsNoWrite) {
      // The first byte that differs, with both values.
      const auto differs = std::mismatch(copy.bytes.begin(), copy.bytes.end(), held.begin());
      const ReadBackFault& fault = run.write->readBackFault;
      EXPECT_EQ(fault.kind, ReadBackFault::Kind::CopyDiffers);
      EXPECT_EQ(fault.offset, differs.first - copy.bytes.begin());
      EXPECT_EQ(fault.written, *differs.first);
      EXPECT_EQ(fault.read, *differs.second);
    }
    if (!c.restores)
      continue;
    const std::vector<HistoryRecord> after = Records();
    ASSERT_EQ(after.size(), records + 1);
    EXPECT_EQ(after.back().action, HistoryAction::Restore);
    EXPECT_EQ(after.back().address, AddressText(copy.address).text);
  }
}

} // namespace
