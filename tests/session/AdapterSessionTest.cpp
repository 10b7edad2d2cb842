// The session's writes end to end through the fake library, in milliseconds:
// the copy, the `started` record, the write, the read-back and the finished
// record; restore, undo, and a write cut short found by the next detection.

#include "session/AdapterSession.h"

#include "FakeDeviceLibrary.h"
#include "backup/BackupFile.h"
#include "nvm/NvmImageBuilder.h"
#include "tests/session/SessionTestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kSep(1, kPathSeparator);

// A clock that moves a millisecond a call, and a data folder a test may take
// away; system text is UTF-8 already.
class TestSystem final : public SessionSystem {
public:
  ClockTime Now() override {
    ClockTime now = {2026, 12, 8, 7, 21, 31, 0};
    now.millisecond = m_ticks++;
    return now;
  }
  bool DataFolder(std::string& path, std::string& fault) override {
    if (folder.empty()) {
      fault = "no folder here";
      return false;
    }
    path = folder;
    return true;
  }
  std::string Utf8Of(std::string_view systemText) override { return std::string(systemText); }

  std::string folder;

private:
  unsigned m_ticks = 0;
};

struct Session : ::testing::Test {
  Session() : builder(kPibLayout74201D4, false) {
    fake.plcType = 1;
    fake.firmware = "INT7420-MAC-1.1.3";
    fake.image = builder.image;
    fake.storesWrites = true;
    system.folder = root + kSep + "Ostrel";
  }
  ~Session() override { std::filesystem::remove_all(root); }

  // A session that has detected the adapter afresh, as each run does.
  std::unique_ptr<AdapterSession> Detected() {
    auto session = std::make_unique<AdapterSession>(HistoryProgram::Ctl, system);
    EXPECT_TRUE(session->Detect());
    return session;
  }
  std::vector<HistoryRecord> History() {
    HistoryFile file;
    std::string error;
    EXPECT_TRUE(HistoryLoad(system.folder + kSep + "history.txt", file, error)) << error;
    return file.records;
  }
  std::size_t Copies() {
    std::error_code error;
    std::size_t count = 0;
    for (auto it = std::filesystem::directory_iterator(system.folder + kSep + "copies", error);
         !error && it != std::filesystem::directory_iterator(); ++it)
      ++count;
    return count;
  }

  const std::string root = SessionTestFolder();
  FakeDeviceLibrary fake;
  NvmImageBuilder builder;
  TestSystem system;
};

// Each row: how the adapter and the system answer a switch from off to on,
// then the outcome and the record that says so. The copy and the `started`
// record are on disk before the write reaches the adapter.
TEST_F(Session, ASwitchIsCopiedRecordedWrittenReadBackAndRecordedAgain) {
  using O = WriteOutcome;
  using R = HistoryResult;
  using S = PowerSaveState;
  const struct {
    const char* name;
    int writeResult, resetResult;
    bool stores, verify, folder;
    O outcome;
    R result;
    S after;
    const char* unkept;
  } cases[] = {
      {"verified", 1, 1, true, true, true, O::Verified, R::Done, S::On, ""},
      {"refused", 0, 1, true, true, true, O::AdapterRefused, R::Failed, S::Off, ""},
      {"reset failed", 1, 0, true, true, true, O::ResetFailed, R::Failed, S::On, ""},
      {"not read back", 1, 1, true, false, true, O::Written, R::Unverified, S::On, ""},
      {"not kept", 1, 1, false, true, true, O::ReadBackDiffers, R::Failed, S::Off, ""},
      {"no folder", 1, 1, true, true, false, O::Verified, R::Done, S::On,
       "no automatic copy was saved before the write: no folder here"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(root);
    fake.image = builder.image;
    fake.writePibResult = c.writeResult;
    fake.resetResult = c.resetResult;
    fake.storesWrites = c.stores;
    system.folder = c.folder ? root + kSep + "Ostrel" : "";
    std::vector<HistoryRecord> atWrite;
    std::size_t copiesAtWrite = 0;
    fake.onWrite = [&] {
      if (c.folder)
        atWrite = History();
      copiesAtWrite = Copies();
    };
    const auto session = Detected();
    ASSERT_EQ(session->State(), S::Off) << c.name;
    const SessionWrite write = session->Switch(S::On, {true, c.verify});
    EXPECT_EQ(write.outcome, c.outcome) << c.name;
    const std::vector<std::string> unkept = UnkeptLines(write);
    EXPECT_EQ(unkept.empty() ? "" : unkept.front(), c.unkept) << c.name;
    if (!c.folder)
      continue;
    EXPECT_EQ(copiesAtWrite, 1u) << c.name;
    ASSERT_EQ(atWrite.size(), 1u) << c.name;
    EXPECT_EQ(atWrite[0].result, R::Started) << c.name;
    const std::vector<HistoryRecord> records = History();
    ASSERT_EQ(records.size(), 1u) << c.name;
    const HistoryRecord& record = records[0];
    EXPECT_EQ(record.id, atWrite[0].id) << c.name;
    EXPECT_EQ(record.program, HistoryProgram::Ctl) << c.name;
    EXPECT_EQ(record.action, HistoryAction::On) << c.name;
    EXPECT_EQ(record.family, AdapterFamily::QualcommAtheros) << c.name;
    EXPECT_EQ(record.before, S::Off) << c.name;
    EXPECT_EQ(record.after, c.after) << c.name;
    EXPECT_EQ(record.result, c.result) << c.name;
    EXPECT_EQ(record.copy, write.copyPath) << c.name;
    EXPECT_EQ(record.firmware, "INT7420-MAC-1.1.3") << c.name;
  }
}

// A backup file taken while off, restored over on, comes back byte for byte.
TEST_F(Session, RestoreWritesTheCopyBackAndRecordsIt) {
  std::vector<uint8_t> file;
  auto copy = std::make_unique<PowerSaveCopy>();
  std::string fault;
  ASSERT_TRUE(Detected()->TakeBackup(file, *copy, fault)) << fault;
  const std::string path = root + kSep + "off.ostrel";
  Write(path, std::string(file.begin(), file.end()));
  ASSERT_EQ(BackupReadFile(path, *copy, fault), BackupReadResult::Read) << fault;
  ASSERT_EQ(Detected()->Switch(PowerSaveState::On, {}).outcome, WriteOutcome::Verified);
  const auto session = Detected();
  ASSERT_EQ(session->State(), PowerSaveState::On);
  const SessionWrite write = session->Restore(*copy, HistoryAction::Restore, false, {});
  EXPECT_EQ(write.outcome, WriteOutcome::Verified) << write.refused.text << write.verifyFault;
  EXPECT_EQ(write.stateAfter, PowerSaveState::Off);
  EXPECT_EQ(fake.image, builder.image);
  const std::vector<HistoryRecord> records = History();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].action, HistoryAction::Restore);
  EXPECT_EQ(records[1].after, PowerSaveState::Off);
  EXPECT_EQ(records[1].result, HistoryResult::Done);
  EXPECT_EQ(Detected()->State(), PowerSaveState::Off);
}

// Undo puts back the copy of the last change, records what it undid, and
// then finds nothing left.
TEST_F(Session, UndoPutsTheLastChangeBackOnce) {
  ASSERT_EQ(Detected()->Switch(PowerSaveState::On, {}).outcome, WriteOutcome::Verified);
  auto session = Detected();
  UndoPlan plan;
  std::vector<HistoryRecord> records;
  std::string fault;
  ASSERT_TRUE(session->PlanUndo(plan, records, fault)) << fault;
  ASSERT_EQ(plan.verdict, UndoVerdict::Undo);
  const HistoryRecord undone = records[plan.record];
  auto copy = std::make_unique<PowerSaveCopy>();
  ASSERT_TRUE(ReadRecordCopy(undone, *copy, fault)) << fault;
  const SessionWrite write = session->Restore(*copy, HistoryAction::Undo, false, {}, undone.id);
  EXPECT_EQ(write.outcome, WriteOutcome::Verified) << write.verifyFault;
  EXPECT_EQ(fake.image, builder.image);
  records = History();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].action, HistoryAction::Undo);
  EXPECT_EQ(records[1].undoes, undone.id);
  session = Detected();
  EXPECT_EQ(session->State(), PowerSaveState::Off);
  ASSERT_TRUE(session->PlanUndo(plan, records, fault)) << fault;
  EXPECT_EQ(plan.verdict, UndoVerdict::NothingLeft);
}

// A run stopped during its write leaves its `started` record as the
// adapter's newest; the next detection says so until a write finishes.
TEST_F(Session, AWriteCutShortIsFoundByTheNextDetection) {
  const std::string path = system.folder + kSep + "history.txt";
  std::string started;
  fake.onWrite = [&] { started = Bytes(path); };
  ASSERT_EQ(Detected()->Switch(PowerSaveState::On, {}).outcome, WriteOutcome::Verified);
  fake.onWrite = nullptr;
  EXPECT_EQ(Detected()->CutShortWrite(), "");
  Write(path, started);
  auto session = Detected();
  EXPECT_EQ(session->CutShortWrite(), "a write by ostrelctl at 2026-12-08T07:21:31Z was cut short");
  ASSERT_EQ(session->Switch(PowerSaveState::Off, {}).outcome, WriteOutcome::Verified);
  EXPECT_EQ(Detected()->CutShortWrite(), "");
}

} // namespace
