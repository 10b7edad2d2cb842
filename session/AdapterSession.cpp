#include "session/AdapterSession.h"

#include "backup/BackupFile.h"
#include "devicelib/AdapterLock.h"
#include "devicelib/KelvaneLibrary.h"
#include "files/WideText.h"
#include "nvm/PibAddress.h"
#include "session/AutoCopies.h"
#include "session/History.h"

#include <windows.h>

#include <cstdio>
#include <ctime>

namespace {

const char* const kActionNames[] = {"on", "off", "restore", "undo"};

std::string IsoTime(const SYSTEMTIME& time) {
  char text[24];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", time.wYear, time.wMonth,
                time.wDay, time.wHour, time.wMinute, time.wSecond);
  return text;
}

} // namespace

const char* PowerSaveStateName(uint16_t state) {
  return state == 1 ? "on" : state == 0 ? "off" : "unavailable";
}

std::string PowerSaveResultLine(uint16_t value, bool done) {
  return std::string(value == 1 ? "Enable" : "Disable") +
         (done ? " device power save success!" : " device power save fail!");
}

SessionLock::SessionLock(uint32_t waitMs, bool pumpMessages)
    : m_lock(std::make_unique<AdapterLock>(waitMs, pumpMessages)) {}

SessionLock::~SessionLock() = default;

bool SessionLock::Held() const {
  return m_lock->Held();
}

std::string SessionLock::Refusal() const {
  if (m_lock->Unavailable())
    return "the adapter lock cannot be opened: " + SystemReason(m_lock->OpenError()) +
           "; another program has taken its name";
  return m_lock->Held() ? std::string() : "the adapter is in use by another program";
}

// Sees what each write starts from and saves it as the automatic copy. A copy
// that cannot be saved never stops the write: it is reported, and the write
// goes on.
class AdapterSession::Watch final : public PowerSaveWriteWatch {
public:
  explicit Watch(const AdapterSession& session) : m_session(session) {}

  void Arm(bool copy) {
    m_copy = copy;
    m_started = false;
    m_path.clear();
    m_fault.clear();
  }
  PowerSaveCopy& Before() override { return m_before; }
  void BeforeWrite(const uint8_t*, uint32_t) override {
    m_started = true;
    if (m_copy)
      Save();
  }

  bool Started() const { return m_started; }
  const std::string& Path() const { return m_path; }
  const std::string& Fault() const { return m_fault; }

private:
  void Save() {
    std::string folder;
    if (!OstrelDataFolder(folder, m_fault))
      return;
    const std::vector<uint8_t> file = m_session.BackupFileOf(m_before);
    if (file.empty()) {
      m_fault = "the system offers no SHA-256 digest";
      return;
    }
    // A copy that restore would refuse is none.
    BackupCopy decoded;
    ::Fault fault;
    if (!BackupDecode(file.data(), file.size(), decoded, &fault)) {
      m_fault = std::string("what the adapter holds makes no backup file: ") + fault.text;
      return;
    }
    if (!SaveAutoCopy(folder + "\\copies", CopyAdapterKey(m_before), file, m_path, m_fault))
      m_path.clear();
  }

  const AdapterSession& m_session;
  bool m_copy = false;
  bool m_started = false;
  std::string m_path;
  std::string m_fault;
  PowerSaveCopy m_before;
};

AdapterSession::AdapterSession(const char* program)
    : m_program(program), m_watch(std::make_unique<Watch>(*this)) {}

AdapterSession::~AdapterSession() = default;

const char* AdapterSession::Load() {
  const KelvaneLoadResult loaded = KelvaneLoad();
  return loaded == KelvaneLoadResult::Loaded ? nullptr : KelvaneLoadResultText(loaded);
}

bool AdapterSession::Detect() {
  m_family = SelectPowerSaveOp(m_op, &m_detected);
  if (m_op)
    m_op->Watch(m_watch.get());
  return m_family == kFamilyQca || m_family == kFamilyBroadcom;
}

const char* AdapterSession::FamilyName() const {
  return m_family == kFamilyQca ? "qualcomm-atheros" : "broadcom";
}

uint16_t AdapterSession::ReadState() {
  const uint16_t state = m_op ? m_op->GetPowerSave() : 2;
  return state <= 1 ? state : 2;
}

std::vector<uint8_t> AdapterSession::BackupFileOf(const PowerSaveCopy& copy) const {
  BackupCopy backup;
  BackupFromCopy(copy, backup);
  backup.firmware = std::string(Firmware());
  backup.taken = static_cast<int64_t>(std::time(nullptr));
  return BackupEncode(backup);
}

SessionWrite AdapterSession::Switch(uint16_t value, const SessionWriteOptions& options) {
  SessionWrite write;
  if (!m_op)
    return write;
  m_watch->Arm(options.copy);
  write.written = m_op->SetPowerSave(value);
  write.resetFailed = !write.written && m_op->ResetFailed();
  if (write.written && options.verify)
    VerifyState(value, write);
  Record(value == 1 ? SessionAction::On : SessionAction::Off, options, write, value);
  return write;
}

SessionWrite AdapterSession::Restore(const PowerSaveCopy& copy, SessionAction action, bool force,
                                     const SessionWriteOptions& options) {
  SessionWrite write;
  if (!m_op)
    return write;
  m_watch->Arm(options.copy);
  write.written = m_op->RestoreCopy(copy, Firmware(), force, write.bytes, write.refused);
  write.resetFailed = !write.written && m_op->ResetFailed();
  if (write.written && options.verify)
    VerifyCopy(copy, write);
  Record(action, options, write, m_op->CopyState(copy));
  return write;
}

// A fresh detection reads the state back, as a later scan would.
void AdapterSession::VerifyState(uint16_t value, SessionWrite& write) {
  PowerSaveSlot fresh;
  SelectPowerSaveOp(fresh);
  write.stateAfter = fresh ? fresh->GetPowerSave() : 2;
  write.verified = write.stateAfter == value;
  if (write.stateAfter > 1)
    write.verifyFault = "verify: the power-save state cannot be read back";
  else if (!write.verified)
    write.verifyFault = std::string("verify: the adapter reads ") +
                        PowerSaveStateName(write.stateAfter) + " after the write";
}

// A fresh detection fetches the adapter's copy again; what was written must
// come back byte for byte.
void AdapterSession::VerifyCopy(const PowerSaveCopy& copy, SessionWrite& write) {
  PowerSaveSlot fresh;
  SelectPowerSaveOp(fresh);
  PowerSaveError refused;
  const auto now = std::make_unique<PowerSaveCopy>();
  const bool read = fresh && fresh->SaveCopy(*now, refused);
  uint32_t same = 0;
  while (read && same < write.bytes && same < now->size && now->bytes[same] == copy.bytes[same])
    ++same;
  write.verified = read && same == write.bytes;
  write.stateAfter = read ? fresh->CopyState(*now) : 2;
  char differs[96] = {};
  if (!read)
    write.verifyFault = std::string("verify: the adapter's copy cannot be read back") +
                        (*refused.text != '\0' ? ": " + AnsiToUtf8(refused.text) : "");
  else if (same < write.bytes && same < now->size)
    std::snprintf(differs, sizeof differs,
                  "verify: the adapter's copy differs at byte %u: 0x%02x written, 0x%02x read",
                  static_cast<unsigned>(same), copy.bytes[same], now->bytes[same]);
  else if (same < write.bytes)
    std::snprintf(differs, sizeof differs, "verify: the adapter's copy is %u bytes, %u written",
                  static_cast<unsigned>(now->size), static_cast<unsigned>(write.bytes));
  if (*differs != '\0')
    write.verifyFault = differs;
}

// Every write the strategy went on to make is recorded, under the lock the
// caller holds, so that two programs never interleave their records.
void AdapterSession::Record(SessionAction action, const SessionWriteOptions& options,
                            SessionWrite& write, uint16_t target) {
  if (!m_watch->Started())
    return;
  write.started = true;
  write.copyPath = m_watch->Path();
  write.copyFault = m_watch->Fault();
  const PowerSaveCopy& before = m_watch->Before();
  const uint16_t was = m_op->CopyState(before);
  uint16_t after = write.written || write.resetFailed ? target : was;
  if (write.written && options.verify)
    after = write.stateAfter;
  SYSTEMTIME now;
  ::GetSystemTime(&now);
  HistoryRecord record;
  record.time = IsoTime(now);
  record.program = m_program;
  record.action = kActionNames[static_cast<int>(action)];
  record.family = FamilyName();
  if (before.kind == BackupKind::NvmImage)
    record.address = AddressText(before.address).text;
  record.firmware = AnsiToUtf8(Firmware());
  record.before = PowerSaveStateName(was);
  record.after = PowerSaveStateName(after);
  record.result = !write.written    ? "failed"
                  : !options.verify ? "unverified"
                  : write.verified  ? "done"
                                    : "failed";
  record.copy = write.copyPath;
  std::string path;
  if (!HistoryPath(path, write.historyFault) ||
      !MakeFolders(path.substr(0, path.rfind('\\')), write.historyFault) ||
      !HistoryAppend(path, record, write.historyFault))
    return;
  write.historyFault.clear();
}

bool AdapterSession::HistoryPath(std::string& path, std::string& fault) {
  std::string folder;
  if (!OstrelDataFolder(folder, fault))
    return false;
  path = folder + "\\history.txt";
  return true;
}

bool AdapterSession::NewestCopy(std::string& path, std::string& fault) {
  if (!m_op) {
    fault = "no strategy serves this adapter's firmware";
    return false;
  }
  PowerSaveCopy* const present = &m_watch->Before();
  std::string key = "broadcom";
  if (m_family == kFamilyQca) {
    PowerSaveError refused;
    if (!m_op->SaveCopy(*present, refused)) {
      fault = "the adapter's image cannot be read, so it is not known which copies are its "
              "own: " +
              AnsiToUtf8(refused.text);
      return false;
    }
    key = CopyAdapterKey(*present);
  }
  std::string folder;
  if (!OstrelDataFolder(folder, fault))
    return false;
  if (!NewestAutoCopy(folder + "\\copies", key, path)) {
    fault = "no automatic copy of this adapter";
    return false;
  }
  return true;
}
