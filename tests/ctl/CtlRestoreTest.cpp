// restore: a backup file is read and checked before anything reaches the
// adapter; what each way a restore ends says. Each way the strategies refuse
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

enum class File { Good, Damaged, OtherFirmware, Missing };
enum class Adapter { On, Unopenable, KeepsNoWrite, ResetFails };

// Each row: the backup file of the adapter, taken while off, then spoilt or
// not; what the adapter holds or does once switched on; and what the restore
// says. `restores`: the adapter holds the copy afterwards.
TEST_F(Restore, EachWayARestoreEndsSaysWhatItDid) {
  const std::string backup = Path("backup.ostrel");
  const std::string bytes = std::to_string(builder.WriteLength());
  const std::string resetFailed = backup + " was written, but the reset after it failed; the "
                                           "adapter takes it at its next restart";
  const struct {
    const char* row;
    File file;
    Adapter adapter;
    bool force;
    CtlExpect expect;
    bool restores;
  } cases[] = {
      {"restored",
       File::Good,
       Adapter::On,
       false,
       {0,
        {"restored: " + backup + " (" + bytes + " bytes written)", "verified: " + bytes + " bytes"},
        {},
        {{"restored", JsonString(backup)},
         {"bytes", bytes},
         {"verified", "true"},
         {"error", "(none)"}}},
       true},
      // A file that does not decode stands for every such fault, each of
      // which the backup format's own tests tell apart.
      {"damaged",
       File::Damaged,
       Adapter::On,
       false,
       {1, {}, {"ostrelctl: " + backup + ": "}, {{"restored", "(none)"}, {"written", "(none)"}}},
       false},
      {"missing",
       File::Missing,
       Adapter::On,
       false,
       {2, {}, {"ostrelctl: " + backup + ": "}, {{"restored", "(none)"}}},
       false},
      {"other firmware",
       File::OtherFirmware,
       Adapter::On,
       true,
       {1,
        {},
        {"ostrelctl: " + backup +
         ": the copy was taken under the firmware \"INT7420-MAC-9.9.9\", "
         "this adapter runs \"INT7420-MAC-1.1.3\"; nothing written"},
        {{"written", "(none)"}}},
       false},
      {"unopenable",
       File::Good,
       Adapter::Unopenable,
       false,
       {1, {}, {"ostrelctl: " + backup + ": the adapter's present image does not open"}, {}},
       false},
      // The user's own good copy still repairs an image that does not open,
      // once forced.
      {"unopenable forced",
       File::Good,
       Adapter::Unopenable,
       true,
       {0,
        {"restored: " + backup + " (" + bytes + " bytes written)", "verified: " + bytes + " bytes"},
        {"ostrelctl: warning: no automatic copy was saved before the write: what the adapter "
         "holds makes no backup file: "},
        {{"verified", "true"}}},
       true},
      {"reset failed",
       File::Good,
       Adapter::ResetFails,
       false,
       {1,
        {},
        {"ostrelctl: " + resetFailed},
        {{"restored", "(none)"},
         {"written", "true"},
         {"reset", "false"},
         {"error", JsonString(resetFailed)},
         {"error_code", "\"reset_failed\""}}},
       true},
      {"read back differs",
       File::Good,
       Adapter::KeepsNoWrite,
       false,
       {1,
        {},
        {"ostrelctl: verify: the adapter's copy differs at byte "},
        {{"restored", JsonString(backup)}, {"written", "true"}, {"verified", "false"}}},
       false},
  };
  for (const auto& c : cases) {
    fake.image = builder.image;
    fake.storesWrites = true;
    fake.resetResult = 1;
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
    const std::vector<uint8_t> held = fake.image;
    fake.calls.clear();
    std::vector<std::string> args{"restore", backup, "--json"};
    if (c.force)
      args.push_back("--force");
    const CtlOutput run = Run(args);
    ExpectRun(run, c.expect, c.row);
    EXPECT_EQ(fake.image, c.restores ? copy.bytes : held) << c.row;
    // A file that is not a copy is refused before the library is reached.
    if (c.file == File::Damaged || c.file == File::Missing) {
      EXPECT_EQ(fake.CallsText(), "") << c.row;
    }
    if (c.adapter == Adapter::KeepsNoWrite) {
      // The first byte that differs, with both values.
      const auto differs = std::mismatch(copy.bytes.begin(), copy.bytes.end(), held.begin());
      char line[128];
      std::snprintf(line, sizeof line,
                    "ostrelctl: verify: the adapter's copy differs at byte %u: 0x%02x written, "
                    "0x%02x read",
                    static_cast<unsigned>(differs.first - copy.bytes.begin()), *differs.first,
                    *differs.second);
      EXPECT_EQ(run.err, std::vector<std::string>{line});
    }
  }
}

// A restore forced onto an image that did not open is recorded under the
// address of the image it wrote, the copy's.
TEST_F(Restore, AForcedRepairIsRecordedUnderTheCopysAddress) {
  const std::string backup = Path("backup.ostrel");
  ASSERT_EQ(Run({"backup", backup}).status, 0);
  fake.image = Unopenable();
  ASSERT_EQ(Run({"restore", backup, "--force"}).status, 0);
  BackupCopy copy;
  const std::vector<uint8_t> file = ReadWhole(backup);
  ASSERT_TRUE(BackupDecode(file.data(), file.size(), copy));
  const std::vector<HistoryRecord> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].action, HistoryAction::Restore);
  EXPECT_EQ(records[0].address, AddressText(copy.address).text);
}

// The file is read before the library is looked for: a file error never
// waits for the adapter or depends on it.
TEST_F(Restore, TheFileIsReadBeforeTheLibrary) {
  HostRefuses(false, true);
  const CtlOutput run = Run({"restore", folder});
  EXPECT_EQ(run.status, 2);
  ASSERT_EQ(run.err.size(), 1u);
  EXPECT_EQ(run.err[0].rfind("ostrelctl: " + folder + ": ", 0), 0u) << run.err[0];
}

} // namespace
