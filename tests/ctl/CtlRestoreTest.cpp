// restore: a backup file is read and checked before anything reaches the
// adapter; what each way a restore ends does. Each way the strategies refuse
// a copy is theirs to decide; one stands for them all here.

#include "CtlFixture.h"

#include "backup/BackupFile.h"
#include "nvm/PibAddress.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Restore = CtlFixture;

enum class File { Good, Damaged, OtherFirmware, Missing, Folder };
enum class Adapter { On, Unopenable, KeepsNoWrite, ResetFails, NoLibrary };

// Each row: the backup file of the adapter, taken while off, then spoilt or
// not; what the adapter holds or does once switched on; the run's facts, and
// how the failure's text, else the automatic copy's fault, begins.
// `restores`: the adapter holds the copy afterwards, recorded under the
// copy's address.
TEST_F(Restore, EachWayARestoreEndsDoesWhatItSays) {
  const std::string backup = Path("backup.ostrel");
  // clang-format off
  const struct {
    const char* row;
    File file;
    Adapter adapter;
    bool force;
    const char* facts;
    std::string text;
    bool restores;
  } cases[] = {
      {"restored", File::Good, Adapter::On, false, "0 write:verified", "", true},
      // A file that does not decode stands for every such fault, each of
      // which the backup format's own tests tell apart.
      {"damaged", File::Damaged, Adapter::On, false, "1 backup_refused (nothing written)", backup + ": ", false},
      {"missing", File::Missing, Adapter::On, false, "2 file (nothing written)", backup + ": ", false},
      // The file is read before the library is looked for: a file error
      // never waits for the adapter or depends on it.
      {"folder, no library", File::Folder, Adapter::NoLibrary, false, "2 file (nothing written)", folder + ": ",
       false},
      {"other firmware", File::OtherFirmware, Adapter::On, true,
       "1 restore_refused (nothing written) write:refused", "the copy was taken under the firmware "
       "\"INT7420-MAC-9.9.9\", this adapter runs \"INT7420-MAC-1.1.3\"", false},
      {"unopenable", File::Good, Adapter::Unopenable, false, "1 restore_refused (nothing written) write:refused",
       "the adapter's present image does not open", false},
      // The user's own good copy still repairs an image that does not open,
      // once forced.
      {"unopenable forced", File::Good, Adapter::Unopenable, true, "0 write:verified",
       "what the adapter holds makes no backup file: ", true},
      {"reset failed", File::Good, Adapter::ResetFails, false, "1 reset_failed write:reset_failed", "", true},
      {"read back differs", File::Good, Adapter::KeepsNoWrite, false,
       "1 read_back_differs write:read_back_differs", "", false},
  };
  // clang-format on
  for (const auto& c : cases) {
    fake.image = builder.image;
    fake.storesWrites = true;
    fake.resetResult = 1;
    HostRefuses(true, true);
    ASSERT_EQ(Run({"backup", backup, "--replace"}).status, 0) << c.row;
    ASSERT_EQ(Run({"on"}).status, 0) << c.row;
    BackupCopy copy;
    const std::vector<uint8_t> file = ReadWhole(backup);
    ASSERT_TRUE(BackupDecode(file.data(), file.size(), copy)) << c.row;
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
    if (c.adapter == Adapter::Unopenable)
      fake.image = Unopenable();
    fake.storesWrites = c.adapter != Adapter::KeepsNoWrite;
    fake.resetResult = c.adapter != Adapter::ResetFails;
    HostRefuses(c.adapter != Adapter::NoLibrary, true);
    const std::vector<uint8_t> held = fake.image;
    const std::size_t records = Records().size();
    fake.calls.clear();
    std::vector<std::string> args{"restore", c.file == File::Folder ? folder : backup};
    if (c.force)
      args.push_back("--force");
    const CtlResult run = Run(args);
    EXPECT_EQ(Facts(run), c.facts) << c.row;
    const std::string& said = run.failure ? run.failure->text : run.write->copyFault;
    EXPECT_TRUE(c.text.empty() ? said.empty() : Begins(said, c.text)) << c.row << ": " << said;
    EXPECT_EQ(fake.image, c.restores ? copy.bytes : held) << c.row;
    // A file that is not a copy is refused before the library is reached.
    EXPECT_EQ(fake.calls.empty(), !run.write) << c.row;
    if (!run.write)
      continue;
    EXPECT_EQ(run.restored, backup) << c.row;
    if (run.failure && run.failure->code == CtlFailure::RestoreRefused) {
      EXPECT_EQ(run.failure->path, backup);
    }
    if (c.adapter == Adapter::KeepsNoWrite) {
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
    if (run.status == 0) {
      EXPECT_EQ(run.write->bytes, builder.WriteLength()) << c.row;
    }
    // A restore forced onto an image that did not open is recorded under
    // the address of the image it wrote, the copy's.
    const std::vector<HistoryRecord> after = Records();
    ASSERT_EQ(after.size(), records + 1) << c.row;
    EXPECT_EQ(after.back().action, HistoryAction::Restore) << c.row;
    EXPECT_EQ(after.back().address, AddressText(copy.address).text) << c.row;
  }
}

} // namespace
