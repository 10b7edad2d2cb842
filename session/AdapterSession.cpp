#include "session/AdapterSession.h"

#include "backup/BackupFile.h"
#include "files/Folder.h"
#include "nvm/PibAddress.h"
#include "session/ContentDigest.h"
#include "session/CopyRetention.h"

namespace {

// The names of the files and folders in the data folder.
constexpr char kHistoryFile[] = "history.txt";
constexpr char kCopiesFolder[] = "copies";

std::string AddressOf(const PowerSaveCopy& copy) {
  return copy.kind == BackupKind::NvmImage ? AddressText(copy.address).text : "";
}

} // namespace

// What Detect fetched: the adapter's copy as it holds it now.
struct AdapterSession::Present {
  PowerSaveCopy copy;
  bool opened = false;
  PowerSaveError refused;
  std::string digest;
};

// Sees what each write starts from and what it sends. Just before the write
// it saves the automatic copy and records the write as started; a copy or a
// record that cannot be saved never stops the write: it is reported, and the
// write goes on.
class AdapterSession::Watch final : public PowerSaveWriteWatch {
public:
  explicit Watch(AdapterSession& session) : m_session(session) {}

  // `written` is the copy a restore writes, null for a switch.
  void Arm(HistoryAction action, PowerSaveState target, const SessionWriteOptions& options,
           const std::string& undoes, const PowerSaveCopy* written) {
    m_action = action;
    m_target = target;
    m_options = options;
    m_undoes = undoes;
    m_written = written;
    m_started = false;
    m_length = 0;
    m_sentDigest.clear();
    m_copyPath.clear();
    m_copyFault.clear();
    m_historyFault.clear();
    m_movedTo.clear();
    m_movedWhy.clear();
    m_record = HistoryRecord();
  }
  PowerSaveCopy& Before() override { return m_before; }
  void BeforeWrite(const uint8_t* sent, uint32_t size) override {
    m_started = true;
    m_length = PowerSaveContentSize(m_before.kind, sent, size);
    m_sentDigest = CoveredDigest(sent, size, m_length);
    m_session.BeginRecord();
  }

  HistoryAction m_action = HistoryAction::On;
  PowerSaveState m_target = PowerSaveState::Unavailable;
  SessionWriteOptions m_options;
  std::string m_undoes;
  const PowerSaveCopy* m_written = nullptr;
  bool m_started = false;
  uint32_t m_length = 0; // the bytes the write puts on the adapter
  std::string m_sentDigest;
  std::string m_copyPath, m_copyFault;
  std::string m_historyFault, m_movedTo, m_movedWhy;
  std::string m_folder;
  HistoryRecord m_record;
  PowerSaveCopy m_before;

private:
  AdapterSession& m_session;
};

AdapterSession::AdapterSession(HistoryProgram program, SessionHost& host)
    : m_program(program), m_host(host), m_present(std::make_unique<Present>()),
      m_watch(std::make_unique<Watch>(*this)) {}

AdapterSession::~AdapterSession() = default;

bool AdapterSession::Detect() {
  m_family = SelectPowerSaveOp(m_host.Device(), m_op, &m_detected);
  if (m_op)
    m_op->Watch(m_watch.get());
  m_state = PowerSaveState::Unavailable;
  m_cutShort.reset();
  const bool found = m_family.has_value();
  if (found && m_op && (!IsQca() || RecordRead()))
    Fetch();
  return found;
}

// One fetch serves the state, a backup and undo, and tells which adapter
// this is, so that the history can say whether a write to it was cut short.
void AdapterSession::Fetch() {
  Present& present = *m_present;
  present.opened = m_op->SaveCopy(present.copy, present.refused);
  present.digest = ContentDigest(present.copy);
  m_state = present.opened ? PowerSaveStateOf(m_op->CopyState(present.copy))
                           : PowerSaveState::Unavailable;
  std::string path, fault;
  HistoryFile history;
  if (present.digest.empty() || !HistoryPath(path, fault) || !HistoryLoad(path, history, fault))
    return;
  const CutShort cut = ::CutShortWrite(history.records, PresentForUndo());
  if (cut.record == nullptr)
    return;
  m_cutShort =
      UnfinishedWrite{cut.record->program, cut.record->time, cut.record->address, cut.identified};
}

UndoPresent AdapterSession::PresentForUndo() const {
  const Present& present = *m_present;
  const PowerSaveCopy& copy = present.copy;
  return {Family(), present.opened ? AddressOf(copy) : "", present.opened || !IsQca(), copy.kind,
          std::vector<uint8_t>(copy.bytes, copy.bytes + copy.size)};
}

AdapterFamily AdapterSession::Family() const {
  return m_family.value_or(AdapterFamily::Broadcom);
}

const char* AdapterSession::StrategyName() const {
  return m_op ? m_op->Variant().name : "none";
}

std::vector<uint8_t> AdapterSession::BackupFileOf(const PowerSaveCopy& copy) const {
  BackupCopy backup;
  BackupFromCopy(copy, backup);
  backup.firmware = std::string(Firmware());
  backup.taken = UnixSeconds(m_host.Now());
  return BackupEncode(backup);
}

bool AdapterSession::TakeBackup(std::vector<uint8_t>& file, PowerSaveCopy& copy,
                                std::string& fault) {
  PowerSaveError refused;
  if (!m_op || !m_op->SaveCopy(copy, refused)) {
    fault = "cannot take a copy: " + m_host.Utf8Of(m_op ? refused.text : "no strategy");
    return false;
  }
  file = BackupFileOf(copy);
  if (file.empty()) {
    fault = "the system offers no SHA-256 digest";
    return false;
  }
  return true;
}

SessionWrite AdapterSession::Switch(PowerSaveState target, const SessionWriteOptions& options) {
  SessionWrite write;
  if (!m_op)
    return write;
  m_watch->Arm(target == PowerSaveState::On ? HistoryAction::On : HistoryAction::Off, target,
               options, {}, nullptr);
  WriteFacts facts;
  facts.written = m_op->SetPowerSave(PowerSaveValueOf(target));
  facts.resetFailed = !facts.written && m_op->ResetFailed();
  ReadBack readBack;
  if (facts.written && options.verify)
    readBack = VerifyState(target, write);
  FinishWrite(facts, readBack, target, write);
  return write;
}

SessionWrite AdapterSession::Restore(const PowerSaveCopy& copy, HistoryAction action, bool force,
                                     const SessionWriteOptions& options,
                                     const std::string& undoes) {
  SessionWrite write;
  if (!m_op)
    return write;
  m_watch->Arm(action, PowerSaveStateOf(m_op->CopyState(copy)), options, undoes, &copy);
  WriteFacts facts;
  facts.written = m_op->RestoreCopy(copy, Firmware(), force, write.bytes, write.refused);
  facts.resetFailed = !facts.written && m_op->ResetFailed();
  ReadBack readBack;
  if (facts.written && options.verify)
    readBack = VerifyCopy(copy, write);
  FinishWrite(facts, readBack, m_watch->m_target, write);
  return write;
}

namespace {
// What a fresh detection fetches, as a later scan would: the adapter's copy,
// also when it does not open, its state and the digest of the first `length`
// bytes, those the write put on it.
struct FreshFetch {
  std::unique_ptr<PowerSaveCopy> copy = std::make_unique<PowerSaveCopy>();
  PowerSaveError refused;
  bool read = false;
  PowerSaveState state = PowerSaveState::Unavailable;
  std::string digest;
};

FreshFetch FetchAfresh(DeviceCalls& device, uint32_t length) {
  FreshFetch fetched;
  PowerSaveSlot fresh;
  SelectPowerSaveOp(device, fresh);
  if (!fresh)
    return fetched;
  fetched.read = fresh->SaveCopy(*fetched.copy, fetched.refused);
  if (fetched.read)
    fetched.state = PowerSaveStateOf(fresh->CopyState(*fetched.copy));
  fetched.digest = CoveredDigest(fetched.copy->bytes, fetched.copy->size, length);
  return fetched;
}
} // namespace

// The state is read back as a later scan would read it.
AdapterSession::ReadBack AdapterSession::VerifyState(PowerSaveState target, SessionWrite& write) {
  const FreshFetch now = FetchAfresh(m_host.Device(), m_watch->m_length);
  write.stateAfter = now.state;
  const ReadBack readBack = {now.state != PowerSaveState::Unavailable, now.state == target,
                             now.digest};
  using Kind = ReadBackFault::Kind;
  write.readBackFault.kind = !readBack.readable ? Kind::StateUnreadable
                             : !readBack.same   ? Kind::StateDiffers
                                                : Kind::None;
  return readBack;
}

// The adapter's copy is fetched again; what was written must come back byte
// for byte.
AdapterSession::ReadBack AdapterSession::VerifyCopy(const PowerSaveCopy& copy,
                                                    SessionWrite& write) {
  const FreshFetch fetched = FetchAfresh(m_host.Device(), m_watch->m_length);
  const bool read = fetched.read;
  const PowerSaveCopy* const now = fetched.copy.get();
  const PowerSaveError& refused = fetched.refused;
  uint32_t same = 0;
  while (read && same < write.bytes && same < now->size && now->bytes[same] == copy.bytes[same])
    ++same;
  write.stateAfter = fetched.state;
  const ReadBack readBack = {read, read && same == write.bytes, fetched.digest};
  ReadBackFault& fault = write.readBackFault;
  using Kind = ReadBackFault::Kind;
  if (!read) {
    fault.kind = Kind::CopyUnreadable;
    fault.refusal = m_host.Utf8Of(refused.text);
  } else if (same < write.bytes && same < now->size) {
    fault = {Kind::CopyDiffers, same, copy.bytes[same], now->bytes[same], now->size, {}};
  } else if (same < write.bytes) {
    fault.kind = Kind::CopyShort;
    fault.size = now->size;
  }
  return readBack;
}

// Called by the watch just before the write: the copy, then the record of a
// write under way, so that a program stopped during the write leaves one.
void AdapterSession::BeginRecord() {
  Watch& watch = *m_watch;
  const ClockTime now = m_host.Now();
  const PowerSaveCopy& before = watch.m_before;
  std::string folder;
  const bool haveFolder = m_host.DataFolder(folder, watch.m_copyFault);
  watch.m_historyFault = watch.m_copyFault;
  if (haveFolder && watch.m_options.copy) {
    const std::vector<uint8_t> file = BackupFileOf(before);
    BackupCopy decoded;
    ::Fault fault;
    // A copy that restore would refuse is none.
    if (file.empty())
      watch.m_copyFault = "the system offers no SHA-256 digest";
    else if (!BackupDecode(file.data(), file.size(), decoded, &fault))
      watch.m_copyFault = std::string("what the adapter holds makes no backup file: ") + fault.text;
    else
      SaveAutoCopy(folder + kPathSeparator + kCopiesFolder, now, CopyAdapterKey(before), file,
                   watch.m_copyPath, watch.m_copyFault, m_host);
  }
  HistoryRecord& record = watch.m_record;
  record.time = IsoTime(now);
  record.program = m_program;
  record.action = watch.m_action;
  // After a failed detection the strategy kept from before may serve another
  // family than the one detected: the record names the one written to.
  record.family = m_op->Variant().family;
  // A restore writes the copy's address, also over an image that did not open.
  record.address = AddressOf(watch.m_written != nullptr ? *watch.m_written : before);
  record.firmware = m_host.Utf8Of(Firmware());
  record.before = PowerSaveStateOf(m_op->CopyState(before));
  record.after = watch.m_target;
  record.result = HistoryResult::Started;
  record.copy = watch.m_copyPath;
  record.beforeSha256 = CoveredDigest(before.bytes, before.size, watch.m_length);
  record.undoes = watch.m_undoes;
  record.length = watch.m_length;
  record.sentSha256 = watch.m_sentDigest;
  if (!haveFolder)
    return;
  watch.m_folder = folder;
  HistoryPut put;
  if (HistoryPutRecord(folder + kPathSeparator + kHistoryFile, record, now, put,
                       watch.m_historyFault, m_host)) {
    watch.m_historyFault.clear();
    watch.m_movedTo = put.movedTo;
    watch.m_movedWhy = put.movedWhy;
  }
}

// Every write the strategy went on to make is recorded, under the lock the
// caller holds, so that two programs never interleave their records; then
// the copies whose records have aged out go.
void AdapterSession::FinishWrite(const WriteFacts& reported, const ReadBack& readBack,
                                 PowerSaveState target, SessionWrite& write) {
  Watch& watch = *m_watch;
  WriteFacts facts = reported;
  facts.started = watch.m_started;
  facts.readBack = facts.written && watch.m_options.verify;
  facts.readable = facts.readBack && readBack.readable;
  facts.same = facts.readBack && readBack.same;
  write.outcome = DecideWriteOutcome(facts);
  if (!facts.started)
    return;
  write.copyPath = watch.m_copyPath;
  write.copyFault = watch.m_options.copy ? watch.m_copyFault : std::string();
  write.historyFault = watch.m_historyFault;
  write.historyMovedTo = watch.m_movedTo;
  write.historyMovedWhy = watch.m_movedWhy;
  if (watch.m_folder.empty())
    return;
  HistoryRecord& record = watch.m_record;
  FinishRecord(write.outcome, target, write.stateAfter, facts.readBack ? readBack.digest : "",
               watch.m_sentDigest, record);
  const ClockTime now = m_host.Now();
  HistoryPut put;
  if (!HistoryPutRecord(watch.m_folder + kPathSeparator + kHistoryFile, record, now, put,
                        write.historyFault, m_host))
    return;
  write.historyFault.clear();
  if (!put.movedTo.empty()) {
    write.historyMovedTo = put.movedTo;
    write.historyMovedWhy = put.movedWhy;
  }
  std::string ignored;
  for (const std::string& old :
       CopiesToRemove(put.records, put.dropped, watch.m_folder + kPathSeparator + kCopiesFolder,
                      watch.m_copyPath))
    RemoveFile(old, ignored);
}

bool AdapterSession::PlanUndo(UndoPlan& plan, std::vector<HistoryRecord>& records,
                              std::string& fault) const {
  const Present& present = *m_present;
  if (present.digest.empty()) {
    fault = "the adapter did not hand over what it holds";
    if (*present.refused.text != '\0')
      fault += ": " + m_host.Utf8Of(present.refused.text);
    return false;
  }
  std::string path;
  HistoryFile history;
  if (!HistoryPath(path, fault) || !HistoryLoad(path, history, fault)) {
    fault = "the history cannot be read: " + (path.empty() ? "" : path + ": ") + fault;
    return false;
  }
  if (!history.foreign.empty()) {
    fault = "the history is not one this program wrote (" + history.foreign + "): " + path;
    return false;
  }
  records = std::move(history.records);
  plan = ::PlanUndo(records, PresentForUndo());
  return true;
}

bool AdapterSession::HistoryPath(std::string& path, std::string& fault) const {
  std::string folder;
  if (!m_host.DataFolder(folder, fault))
    return false;
  path = folder + kPathSeparator + kHistoryFile;
  return true;
}
