#pragma once
// The one way the dialog and ostrelctl reach an adapter, through the host's
// device library, under the lock the caller holds: detection and the
// strategy; the state; and every write, with the automatic copy before it,
// the read-back after it and the history record that says who wrote what.
// The front ends say what they want and show the outcome in their own
// words; they never see a strategy.

#include "powersave/PowerSaveSelection.h"
#include "session/PowerSaveState.h"
#include "session/SessionHost.h"
#include "session/UndoPlan.h"
#include "session/WriteOutcome.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a write is to do besides writing.
struct SessionWriteOptions {
  bool copy = true;   // save the automatic copy first
  bool verify = true; // read back through a fresh detection
};

// A write the history shows begun on this adapter and never finished: who
// wrote, when, and to which address (empty for an adapter without one);
// `identified` when this adapter is shown to be the one written.
struct UnfinishedWrite {
  HistoryProgram program = HistoryProgram::Dialog;
  std::string time;
  std::string address;
  bool identified = false;
};

class AdapterSession {
public:
  // `program`: the front end, as the history names it; `host` reaches the
  // adapter and the computer.
  AdapterSession(HistoryProgram program, SessionHost& host);
  ~AdapterSession();
  AdapterSession(const AdapterSession&) = delete;
  AdapterSession& operator=(const AdapterSession&) = delete;

  // Asks the library which adapter is attached and selects its strategy, as
  // SelectPowerSaveOp does; false when no adapter of a known family is.
  // When a strategy serves it, fetches what it holds: its state, and whether
  // the history shows a write to it that was cut short. The caller holds the
  // lock.
  bool Detect();
  AdapterFamily Family() const;
  bool IsQca() const { return m_family == AdapterFamily::QualcommAtheros; }
  // Qualcomm Atheros: whether the device record was read, and its firmware
  // text in the system's code page.
  bool RecordRead() const { return m_detected.recordRead; }
  std::string_view Firmware() const { return m_detected.record.Firmware(); }
  // Whether a strategy serves this adapter's firmware, and its name.
  bool HasStrategy() const { return m_op != nullptr; }
  const char* StrategyName() const;
  // The state Detect read.
  PowerSaveState State() const { return m_state; }
  // The write Detect found cut short, if any.
  const std::optional<UnfinishedWrite>& CutShortWrite() const { return m_cutShort; }

  // A backup file of what the adapter holds, taken under this adapter's
  // firmware, with the copy in it. False with `fault` saying why not.
  bool TakeBackup(std::vector<uint8_t>& file, PowerSaveCopy& copy, std::string& fault);
  // The backup file of `copy` under this adapter's firmware; empty when the
  // system offers no SHA-256 digest.
  std::vector<uint8_t> BackupFileOf(const PowerSaveCopy& copy) const;

  // Writes power save on or off.
  SessionWrite Switch(PowerSaveState target, const SessionWriteOptions& options);
  // Writes `copy` back through every check of the strategy's RestoreCopy;
  // `undoes` is the id of the record an undo undoes.
  SessionWrite Restore(const PowerSaveCopy& copy, HistoryAction action, bool force,
                       const SessionWriteOptions& options, const std::string& undoes = {});

  // Which change undo puts back, from the history and what the adapter holds
  // now; `records` gets the history's records. False with `fault`.
  bool PlanUndo(UndoPlan& plan, std::vector<HistoryRecord>& records, std::string& fault) const;

  // Where the history is kept; false with `fault` when not known.
  bool HistoryPath(std::string& path, std::string& fault) const;

private:
  class Watch;
  struct Present;
  // What a read-back found, with the digest of what it fetched, also when
  // that does not open.
  struct ReadBack {
    bool readable = false;
    bool same = false;
    std::string digest;
  };
  void Fetch();
  UndoPresent PresentForUndo() const;
  ReadBack VerifyState(PowerSaveState target, SessionWrite& write);
  ReadBack VerifyCopy(const PowerSaveCopy& copy, SessionWrite& write);
  void BeginRecord();
  void FinishWrite(const WriteFacts& facts, const ReadBack& readBack, PowerSaveState target,
                   SessionWrite& write);

  HistoryProgram m_program;
  SessionHost& m_host;
  std::optional<AdapterFamily> m_family;
  PowerSaveDetection m_detected;
  PowerSaveSlot m_op;
  PowerSaveState m_state = PowerSaveState::Unavailable;
  std::optional<UnfinishedWrite> m_cutShort;
  std::unique_ptr<Present> m_present;
  std::unique_ptr<Watch> m_watch;
};
