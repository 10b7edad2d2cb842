#pragma once
// The one way the dialog and ostrelctl reach an adapter: the library, loaded
// once; the computer-wide lock; detection and the strategy; the state; and
// every write, with the automatic copy before it, the read-back after it and
// the history record that says who wrote what. The front ends say what they
// want and show the outcome in their own words.

#include "powersave/PowerSaveSelection.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class AdapterLock;

// "on", "off" or "unavailable", for 1, 0 and anything else.
const char* PowerSaveStateName(uint16_t state);
// The dialog's result line of a switch: "Enable device power save success!"
// and so on.
std::string PowerSaveResultLine(uint16_t value, bool done);

// Held while the object lives, released on the thread that took it.
class SessionLock {
public:
  // How long the dialog waits before it reports the operation as failed.
  static constexpr uint32_t kDialogWaitMs = 30000;
  // With `pumpMessages` the thread's windows keep painting and answering
  // while it waits.
  SessionLock(uint32_t waitMs, bool pumpMessages);
  ~SessionLock();
  SessionLock(const SessionLock&) = delete;
  SessionLock& operator=(const SessionLock&) = delete;
  bool Held() const;
  // Why it is not held, for a person.
  std::string Refusal() const;

private:
  std::unique_ptr<AdapterLock> m_lock;
};

enum class SessionAction { On, Off, Restore, Undo };

// What a write is to do besides writing.
struct SessionWriteOptions {
  bool copy = true;   // save the automatic copy first
  bool verify = true; // read back through a fresh detection
};

// What came of a write.
struct SessionWrite {
  // The strategy went on to write: the adapter may have changed, and the
  // history has a record of it.
  bool started = false;
  // The adapter took the write and, where one counts, its reset.
  bool written = false;
  // The adapter took the write and only the reset after it failed.
  bool resetFailed = false;
  // Restore: why it was refused, and how many bytes it wrote.
  PowerSaveError refused;
  uint32_t bytes = 0;
  // Read-back: whether it was made and found what was written; when not,
  // `verifyFault` says what it found instead.
  bool verified = false;
  std::string verifyFault;
  uint16_t stateAfter = 2;
  // The automatic copy: its path, or why there is none when one was asked for.
  std::string copyPath;
  std::string copyFault;
  // Why the history has no record of a started write.
  std::string historyFault;
};

class AdapterSession {
public:
  // `program`: "Ostrel.exe" or "ostrelctl", as the history names it.
  explicit AdapterSession(const char* program);
  ~AdapterSession();
  AdapterSession(const AdapterSession&) = delete;
  AdapterSession& operator=(const AdapterSession&) = delete;

  // Loads the device library, once per process: null when loaded, else the
  // line for a person that says what went wrong.
  static const char* Load();

  // Asks the library which adapter is attached and selects its strategy, as
  // SelectPowerSaveOp does; false when no adapter of a known family is.
  // The caller holds the lock.
  bool Detect();
  // "qualcomm-atheros" or "broadcom".
  const char* FamilyName() const;
  bool IsQca() const { return m_family == kFamilyQca; }
  // Qualcomm Atheros: whether the device record was read, and its firmware
  // text in the system's code page.
  bool RecordRead() const { return m_detected.recordRead; }
  std::string_view Firmware() const { return m_detected.record.Firmware(); }
  // The strategy; null when the firmware has no known setting.
  CPowerSaveOp* Strategy() const { return m_op.get(); }
  // 0 off, 1 on, 2 unavailable.
  uint16_t ReadState();

  // The backup file of `copy`, taken now under this adapter's firmware; empty
  // when the system offers no SHA-256 digest.
  std::vector<uint8_t> BackupFileOf(const PowerSaveCopy& copy) const;

  // Writes power save on (1) or off (0).
  SessionWrite Switch(uint16_t value, const SessionWriteOptions& options);
  // Writes `copy` back through every check of the strategy's RestoreCopy.
  SessionWrite Restore(const PowerSaveCopy& copy, SessionAction action, bool force,
                       const SessionWriteOptions& options);
  // The newest automatic copy of this adapter; false with `fault` saying why
  // there is none.
  bool NewestCopy(std::string& path, std::string& fault);

  // Where the history is kept; false with `fault` when not known.
  static bool HistoryPath(std::string& path, std::string& fault);

private:
  class Watch;
  void VerifyState(uint16_t value, SessionWrite& write);
  void VerifyCopy(const PowerSaveCopy& copy, SessionWrite& write);
  void Record(SessionAction action, const SessionWriteOptions& options, SessionWrite& write,
              uint16_t target);

  const char* m_program;
  uint8_t m_family = 0;
  PowerSaveDetection m_detected;
  PowerSaveSlot m_op;
  std::unique_ptr<Watch> m_watch;
};
