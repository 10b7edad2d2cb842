// The session's writes end to end through the fake library, in milliseconds:
// the copy, the `started` record, the write, the read-back and the finished
// record; restore, undo, and a write cut short found by the next detection.

#include "session/AdapterSession.h"

#include "FakeDeviceLibrary.h"
#include "FakeSessionHost.h"
#include "backup/BackupFile.h"
#include "nvm/NvmImageBuilder.h"
#include "tests/session/SessionTestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kSep(1, kPathSeparator);

struct Session : ::testing::Test {
  Session() : builder(kPibLayout74201D4, false) {
    fake.plcType = 1;
    fake.firmware = "INT7420-MAC-1.1.3";
    fake.image = builder.image;
    fake.storesWrites = true;
    host.folder = root + kSep + "Ostrel";
  }

  // A session that has detected the adapter afresh, as each run does.
  std::unique_ptr<AdapterSession> Detected() {
    auto session = std::make_unique<AdapterSession>(HistoryProgram::Ctl, host);
    EXPECT_TRUE(session->Detect());
    return session;
  }
  std::vector<HistoryRecord> History() {
    HistoryFile file;
    std::string error;
    EXPECT_TRUE(HistoryLoad(host.folder + kSep + "history.txt", file, error)) << error;
    return file.records;
  }
  std::ptrdiff_t Copies() {
    std::error_code error;
    return std::distance(std::filesystem::directory_iterator(host.folder + kSep + "copies", error),
                         std::filesystem::directory_iterator());
  }

  const std::string root = SessionTestFolder();
  FakeDeviceLibrary fake;
  NvmImageBuilder builder;
  FakeSessionHost host{fake};
};

// A record as "action before->after result".
std::string Summary(const HistoryRecord& record) {
  return std::string(NameOf(record.action)) + " " + NameOf(record.before) + "->" +
         NameOf(record.after) + " " + NameOf(record.result);
}

// Each row: how the adapter and the system answer a switch from off to on,
// then the outcome and the record that says so. The copy and the `started`
// record are on disk before the write reaches the adapter.
TEST_F(Session, ASwitchIsCopiedRecordedWrittenReadBackAndRecordedAgain) {
  using O = WriteOutcome;
  const struct {
    int writeResult, resetResult;
    bool stores, verify, folder;
    O outcome;
    const char* record; // or why no copy was kept
  } cases[] = {
      {1, 1, true, true, true, O::Verified, "on off->on done"},
      {0, 1, true, true, true, O::AdapterRefused, "on off->off failed"},
      {1, 0, true, true, true, O::ResetFailed, "on off->on failed"},
      {1, 1, true, false, true, O::Written, "on off->on unverified"},
      {1, 1, false, true, true, O::ReadBackDiffers, "on off->off failed"},
      {1, 1, true, true, false, O::Verified, "no folder here"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(root);
    fake.image = builder.image;
    fake.writePibResult = c.writeResult;
    fake.resetResult = c.resetResult;
    fake.storesWrites = c.stores;
    host.folder = c.folder ? root + kSep + "Ostrel" : "";
    std::string atWrite;
    fake.onWrite = [&] {
      if (c.folder)
        atWrite = std::to_string(Copies()) + " " + Summary(History().at(0));
    };
    const SessionWrite write = Detected()->Switch(PowerSaveState::On, {true, c.verify});
    EXPECT_EQ(write.outcome, c.outcome) << c.record;
    if (!c.folder) {
      EXPECT_EQ(UnkeptOf(write).noCopy, c.record);
      continue;
    }
    EXPECT_EQ(atWrite, "1 on off->on started") << c.record;
    const std::vector<HistoryRecord> records = History();
    ASSERT_EQ(records.size(), 1u) << c.record;
    EXPECT_EQ(Summary(records[0]), c.record);
    EXPECT_EQ(records[0].copy, write.copyPath) << c.record;
    EXPECT_EQ(records[0].firmware, "INT7420-MAC-1.1.3") << c.record;
  }
}

// A backup file taken while off, stamped by the host's clock, not the
// process's, restored over on, comes back byte for byte; then undo takes the
// restore back, once.
TEST_F(Session, RestoreAndUndoPutACopyBackAndRecordIt) {
  std::vector<uint8_t> file;
  auto copy = std::make_unique<PowerSaveCopy>();
  std::string fault;
  ASSERT_TRUE(Detected()->TakeBackup(file, *copy, fault)) << fault;
  BackupCopy decoded;
  ASSERT_TRUE(BackupDecode(file.data(), file.size(), decoded, nullptr));
  EXPECT_EQ(decoded.taken, 1796714491); // 2026-12-08T07:21:31Z
  const std::string path = root + kSep + "off.ostrel";
  Write(path, std::string(file.begin(), file.end()));
  ASSERT_EQ(BackupReadFile(path, *copy, fault), BackupReadResult::Read) << fault;
  ASSERT_EQ(Detected()->Switch(PowerSaveState::On, {}).outcome, WriteOutcome::Verified);
  const std::vector<uint8_t> on = fake.image;
  SessionWrite write = Detected()->Restore(*copy, HistoryAction::Restore, false, {});
  EXPECT_EQ(write.outcome, WriteOutcome::Verified) << write.refused.text;
  EXPECT_EQ(fake.image, builder.image);

  auto session = Detected();
  UndoPlan plan;
  std::vector<HistoryRecord> records;
  ASSERT_TRUE(session->PlanUndo(plan, records, fault)) << fault;
  ASSERT_EQ(plan.verdict, UndoVerdict::Undo);
  const HistoryRecord undone = records[plan.record];
  ASSERT_TRUE(ReadRecordCopy(undone, *copy, fault)) << fault;
  write = session->Restore(*copy, HistoryAction::Undo, false, {}, undone.id);
  EXPECT_EQ(write.outcome, WriteOutcome::Verified);
  EXPECT_EQ(fake.image, on);
  records = History();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(Summary(records[1]), "restore on->off done");
  EXPECT_EQ(Summary(records[2]), "undo off->on done");
  EXPECT_EQ(records[2].undoes, records[1].id);
  ASSERT_TRUE(Detected()->PlanUndo(plan, records, fault)) << fault;
  EXPECT_EQ(plan.verdict, UndoVerdict::Undo);
  EXPECT_EQ(plan.record, 0u);
}

// A run stopped during its write leaves its `started` record as the
// adapter's newest; the next detection says so until a write finishes.
TEST_F(Session, AWriteCutShortIsFoundByTheNextDetection) {
  const std::string path = host.folder + kSep + "history.txt";
  std::string started;
  fake.onWrite = [&] { started = Bytes(path); };
  ASSERT_EQ(Detected()->Switch(PowerSaveState::On, {}).outcome, WriteOutcome::Verified);
  fake.onWrite = nullptr;
  EXPECT_FALSE(Detected()->CutShortWrite());
  Write(path, started);
  const std::optional<UnfinishedWrite> cut = Detected()->CutShortWrite();
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->program, HistoryProgram::Ctl);
  EXPECT_EQ(cut->time, "2026-12-08T07:21:31Z");
  EXPECT_TRUE(cut->identified);
  ASSERT_EQ(Detected()->Switch(PowerSaveState::Off, {}).outcome, WriteOutcome::Verified);
  EXPECT_FALSE(Detected()->CutShortWrite());
}

} // namespace
