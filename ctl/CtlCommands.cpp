#include "ctl/CtlCommands.h"

#include "backup/BackupFile.h"
#include "console/CommandLine.h"
#include "console/ConsoleHold.h"
#include "console/ConsoleMain.h"
#include "console/ConsoleText.h"
#include "ctl/CtlOptions.h"
#include "files/WriteFile.h"
#include "nvm/PibAddress.h"
#include "session/AdapterSession.h"
#include "session/History.h"
#include "session/UndoPlan.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

const char kCtlStoppedUnwritten[] = "stopped before anything was written";

namespace {

constexpr int kExitDone = 0;

// A line of ostrelctl's own.
std::string Said(const std::string& line) {
  return std::string(kConsoleProgram) + ": " + line;
}

// A stop asked for between a write and the reset that completes it would
// leave the adapter with a write it has not taken up; the run finishes the
// write and reports it. A person may still insist, once the write has run
// long enough to look stuck.
std::string FinishingTheWrite() {
  return Said("finishing the write to the adapter before stopping; a second Ctrl+C once the "
              "write has run " +
              std::to_string(ConsoleStopGate::kGrace.count()) + " seconds ends " + kConsoleProgram +
              " at once");
}
constexpr char kWriteCut[] = "stopped at once; the adapter may be left in the middle of its write";
// A backup file is finished, never left as a temporary file beside its name.
constexpr char kFinishingTheBackup[] = "finishing the backup file before stopping";
constexpr char kBackupCut[] = "stopped at once; the backup file may be left unfinished";

// A run's context: what was asked, what it found, the session and its
// system, and the copy that restore read and checked before it went near the
// adapter.
struct Run {
  const CtlOptions& options;
  CtlResult& result;
  AdapterSession& session;
  SessionHost& system;
  const PowerSaveCopy* copy;
};

int Fail(CtlResult& result, CtlError failure) {
  result.status = CtlExitStatus(failure.code);
  result.failure = std::move(failure);
  return result.status;
}

int Fail(CtlResult& result, CtlFailure code, CtlLeft left = CtlLeft::Unsaid) {
  return Fail(result, {code, {}, {}, left});
}

// A strategy to work with, or the reason there is none.
int NeedStrategy(const Run& run, CtlLeft left) {
  if (run.session.IsQca() && !run.session.RecordRead())
    return Fail(run.result, CtlFailure::RecordUnread, left);
  if (!run.session.HasStrategy())
    return Fail(run.result, CtlFailure::NoStrategy, left);
  return kExitDone;
}

// Takes the adapter's copy, checks it, and saves it as a backup file; an
// existing file is replaced only when asked. `left`: what a refusal leaves
// undone.
int SaveBackup(const Run& run, const std::string& path, CtlLeft left) {
  if (const int status = NeedStrategy(run, left))
    return status;
  const auto copy = std::make_unique<PowerSaveCopy>();
  std::vector<uint8_t> file;
  std::string error;
  if (!run.session.TakeBackup(file, *copy, error))
    return Fail(run.result, {CtlFailure::CopyRefused, error, {}, left});
  WriteFileResult saved;
  {
    const ConsoleHold hold(Said(kFinishingTheBackup), Said(kBackupCut));
    if (hold.Refused())
      return Fail(run.result, CtlFailure::Stopped);
    saved = WriteFileWhole(path, file, run.options.replace, error);
  }
  switch (saved) {
  case WriteFileResult::Written:
    break;
  case WriteFileResult::Exists:
    return Fail(run.result, {CtlFailure::BackupExists, {}, path, left});
  case WriteFileResult::Failed:
    return Fail(run.result, {CtlFailure::BackupUnsaved, error, path, left});
  }
  CtlSaved& facts = run.result.saved.emplace();
  facts.path = path;
  facts.bytes = file.size();
  facts.image = copy->kind == BackupKind::NvmImage;
  if (facts.image) {
    facts.layout = copy->Layout();
    facts.address = AddressText(copy->address).text;
  }
  return kExitDone;
}

int RunStatus(const Run& run) {
  AdapterSession& found = run.session;
  CtlFound& facts = run.result.found.emplace();
  facts.family = found.Family();
  facts.recordUnread = found.IsQca() && !found.RecordRead();
  if (facts.recordUnread)
    return Fail(run.result, CtlFailure::RecordUnread);
  if (found.IsQca())
    facts.firmware = run.system.Utf8Of(found.Firmware());
  facts.strategy = found.StrategyName();
  facts.powerSave = found.State();
  // Firmware with no known setting is a fact to report; a strategy that
  // cannot read its adapter is a failure.
  if (found.HasStrategy() && found.State() == PowerSaveState::Unavailable)
    return Fail(run.result, CtlFailure::StateUnreadable);
  return kExitDone;
}

// Runs `write` under the console hold. A stop that came before it lets no
// write start: returns false, having said so.
template <typename Write> bool HeldWrite(const Run& run, Write write) {
  const ConsoleHold hold(FinishingTheWrite(), Said(kWriteCut));
  if (hold.Refused()) {
    Fail(run.result, CtlFailure::Stopped);
    return false;
  }
  run.result.write = write();
  return true;
}

// A write that was sent but not taken up, or not found on reading back.
int WriteFailed(const Run& run) {
  switch (run.result.write->outcome) {
  case WriteOutcome::ResetFailed:
    return Fail(run.result, CtlFailure::ResetFailed);
  case WriteOutcome::ReadBackDiffers:
    return Fail(run.result, CtlFailure::ReadBackDiffers);
  default:
    return Fail(run.result, CtlFailure::ReadBackUnreadable);
  }
}

// A switch to the state the adapter already has writes nothing and resets
// nothing, unless forced: a flash write and a reset that drops the network
// for no change.
int RunSwitch(const Run& run, PowerSaveState target) {
  if (const int status = NeedStrategy(run, CtlLeft::NothingWritten))
    return status;
  if (!run.options.backup.empty()) {
    if (const int status = SaveBackup(run, run.options.backup, CtlLeft::NothingWritten))
      return status;
  }
  run.result.target = target;
  if (!run.options.force && run.session.State() == target) {
    run.result.already = true;
    return kExitDone;
  }
  if (!HeldWrite(run, [&] {
        return run.session.Switch(target, {run.options.copy, run.options.verify});
      }))
    return kCtlExitStoppedUnwritten;
  switch (run.result.write->outcome) {
  case WriteOutcome::Refused:
  case WriteOutcome::AdapterRefused:
    return Fail(run.result, CtlFailure::SwitchRefused);
  case WriteOutcome::ResetFailed:
  case WriteOutcome::ReadBackDiffers:
  case WriteOutcome::ReadBackUnreadable:
    return WriteFailed(run);
  case WriteOutcome::Written:
  case WriteOutcome::Verified:
    break;
  }
  return kExitDone;
}

int RunOn(const Run& run) {
  return RunSwitch(run, PowerSaveState::On);
}

int RunOff(const Run& run) {
  return RunSwitch(run, PowerSaveState::Off);
}

int RunBackup(const Run& run) {
  return SaveBackup(run, run.options.file, CtlLeft::NothingSaved);
}

// Reads the backup file and checks it before anything reaches the adapter, so
// that a file error never waits for the adapter or depends on it.
int ReadRestoreCopy(const std::string& path, CtlResult& result, PowerSaveCopy& copy) {
  std::string fault;
  switch (BackupReadFile(path, copy, fault)) {
  case BackupReadResult::Read:
    return kExitDone;
  case BackupReadResult::Unreadable:
    return Fail(result, {CtlFailure::File, fault, {}, CtlLeft::NothingWritten});
  case BackupReadResult::Refused:
    break;
  }
  return Fail(result, {CtlFailure::BackupRefused, fault, {}, CtlLeft::NothingWritten});
}

// Restore and undo: `path` is the copy's file, `action` what the history
// calls it, `undoes` the record an undo takes back; `refused` is the failure
// a refusal is.
int RestoreFrom(const Run& run, const std::string& path, HistoryAction action, bool force,
                const std::string& undoes, CtlFailure refused = CtlFailure::RestoreRefused) {
  run.result.restored = path;
  if (!HeldWrite(run, [&] {
        return run.session.Restore(*run.copy, action, force, {run.options.copy, run.options.verify},
                                   undoes);
      }))
    return kCtlExitStoppedUnwritten;
  const SessionWrite& write = *run.result.write;
  switch (write.outcome) {
  case WriteOutcome::Refused:
  case WriteOutcome::AdapterRefused:
    return Fail(run.result,
                {refused, run.system.Utf8Of(write.refused.text), path, CtlLeft::NothingWritten});
  case WriteOutcome::ResetFailed:
  case WriteOutcome::ReadBackDiffers:
  case WriteOutcome::ReadBackUnreadable:
    return WriteFailed(run);
  case WriteOutcome::Written:
  case WriteOutcome::Verified:
    break;
  }
  return kExitDone;
}

int RunRestore(const Run& run) {
  if (const int status = NeedStrategy(run, CtlLeft::NothingWritten))
    return status;
  return RestoreFrom(run, run.options.file, HistoryAction::Restore, run.options.force, {});
}

// Undoes the adapter's last change that is not undone, as the history and
// the digests of what the adapter holds decide; never another copy.
int RunUndo(const Run& run) {
  constexpr CtlLeft kLeft = CtlLeft::NothingWritten;
  if (const int status = NeedStrategy(run, kLeft))
    return status;
  UndoPlan plan;
  std::vector<HistoryRecord> records;
  std::string fault;
  if (!run.session.PlanUndo(plan, records, fault))
    return Fail(run.result, {CtlFailure::UndoUnread, fault, {}, kLeft});
  auto& passedOver = run.result.passedOver.emplace();
  for (const UndoPlan::Pass& pass : plan.passed)
    passedOver.push_back({CtlRecordOf(records[pass.record]), pass.why});
  if (plan.verdict == UndoVerdict::NothingLeft)
    return Fail(run.result, CtlFailure::UndoNothingLeft, kLeft);
  if (plan.verdict == UndoVerdict::Unproven)
    return Fail(run.result, CtlFailure::UndoUnproven, kLeft);
  // The other verdicts name a record.
  const HistoryRecord* record = &records[plan.record];
  run.result.undoRecord = CtlRecordOf(*record);
  const bool refused = plan.verdict != UndoVerdict::Undo;
  if (plan.verdict == UndoVerdict::Changed && !run.options.force)
    return Fail(run.result, CtlFailure::UndoChanged, kLeft);
  if (plan.verdict == UndoVerdict::FirstFormat && !run.options.force)
    return Fail(run.result, CtlFailure::UndoUnchecked, kLeft);
  if (refused && plan.addressUnknown)
    return Fail(run.result, CtlFailure::UndoNotThisAdapter, kLeft);
  const auto copy = std::make_unique<PowerSaveCopy>();
  if (!ReadRecordCopy(*record, *copy, fault))
    return Fail(run.result, {CtlFailure::UndoCopyUnread, fault, {}, kLeft});
  // Proven by the digests, the change is undone without the checks that
  // need the image to open. Forced, the copy goes through restore's checks
  // that it is this adapter's: its address, or a parameter's data.
  run.result.undoTried = true;
  return RestoreFrom({run.options, run.result, run.session, run.system, copy.get()}, record->copy,
                     HistoryAction::Undo, !refused, record->id,
                     refused ? CtlFailure::UndoForceRefused : CtlFailure::RestoreRefused);
}

// The records oldest first; a line that is no record is skipped with a
// warning. Needs neither the library nor the adapter.
int RunHistory(const Run& run) {
  std::string path, error;
  HistoryFile file;
  if (!run.session.HistoryPath(path, error) || !HistoryLoad(path, file, error))
    return Fail(run.result, {CtlFailure::File, error, path, CtlLeft::Unsaid});
  run.result.history =
      CtlHistory{path, std::move(file.records), file.foreign, HistorySkipped(file)};
  return kExitDone;
}

// Each command once: its word, whether it reads the copy in its FILE before
// anything else and whether it reaches the adapter, and what runs it.
struct Command {
  CommandWord word;
  bool readsCopy;
  bool adapter;
  int (*run)(const Run& run);
};

const Command kCommands[] = {
    {{"status", "", 0}, false, true, RunStatus},
    {{"on", "", 0}, false, true, RunOn},
    {{"off", "", 0}, false, true, RunOff},
    {{"backup", "FILE", 1}, false, true, RunBackup},
    {{"restore", "FILE", 1}, true, true, RunRestore},
    {{"undo", "", 0}, false, true, RunUndo},
    {{"history", "", 0}, false, false, RunHistory},
};

const CommandTable& CommandLineTable() {
  static const CommandTable table = [] {
    CommandTable made{kConsoleProgram, {}, {}};
    for (const Command& command : kCommands)
      made.commands.push_back(command.word);
    made.options = CtlOptionTable();
    return made;
  }();
  return table;
}

std::string UsageText() {
  return CommandUsage(CommandLineTable()) + CtlWaitUsage();
}

// Detects the adapter and runs `command` on it; the caller holds the lock.
int RunDetected(const Command& command, const CtlOptions& options, SessionHost& system,
                CtlResult& result, const PowerSaveCopy* copy) {
  AdapterSession session(HistoryProgram::Ctl, system);
  if (!session.Detect())
    return Fail(result, CtlFailure::NoAdapter);
  result.cutShort = session.CutShortWrite();
  return command.run({options, result, session, system, copy});
}

int RunCommand(const Command& command, const CtlOptions& options, SessionHost& host,
               CtlResult& result) {
  SessionHost& system = host;
  const auto copy = std::make_unique<PowerSaveCopy>();
  if (!command.adapter) {
    AdapterSession none(HistoryProgram::Ctl, system);
    return command.run({options, result, none, system, copy.get()});
  }
  if (command.readsCopy) {
    if (const int status = ReadRestoreCopy(options.file, result, *copy))
      return status;
  }
  if (const char* unloaded = host.LoadDevice())
    return Fail(result, {CtlFailure::LibraryNotLoaded, unloaded, {}, CtlLeft::Unsaid});
  std::unique_ptr<SessionLock> lock = host.Lock(options.waitSeconds * 1000, false);
  if (!lock->Held())
    return Fail(result, {CtlFailure::InUse, lock->Refusal(), {}, CtlLeft::Unsaid});
  // The lock is given up before the run says anything: a person or script
  // that acts on what it reads finds the adapter free.
  const int status = RunDetected(command, options, system, result, copy.get());
  lock.reset();
  return status;
}

} // namespace

int CtlExitStatus(CtlFailure failure) {
  switch (failure) {
  case CtlFailure::Usage:
  case CtlFailure::File:
  case CtlFailure::LibraryNotLoaded:
  case CtlFailure::BackupExists:
  case CtlFailure::BackupUnsaved:
    return kConsoleUsageError;
  case CtlFailure::NoAdapter:
    return 3;
  case CtlFailure::InUse:
    return 4;
  case CtlFailure::Stopped:
    return kCtlExitStoppedUnwritten;
  case CtlFailure::RecordUnread:
  case CtlFailure::NoStrategy:
  case CtlFailure::StateUnreadable:
  case CtlFailure::CopyRefused:
  case CtlFailure::BackupRefused:
  case CtlFailure::SwitchRefused:
  case CtlFailure::RestoreRefused:
  case CtlFailure::ResetFailed:
  case CtlFailure::ReadBackDiffers:
  case CtlFailure::ReadBackUnreadable:
  case CtlFailure::UndoUnread:
  case CtlFailure::UndoNothingLeft:
  case CtlFailure::UndoUnproven:
  case CtlFailure::UndoChanged:
  case CtlFailure::UndoUnchecked:
  case CtlFailure::UndoNotThisAdapter:
  case CtlFailure::UndoCopyUnread:
  case CtlFailure::UndoForceRefused:
    break;
  }
  return 1;
}

CtlResult CtlRun(const std::vector<std::string>& args, SessionHost& host) {
  CommandLine line;
  CtlOptions options;
  std::string wrong = ParseCommandLine(CommandLineTable(), args, line);
  if (wrong.empty())
    wrong = ReadCtlOptions(line, options);
  CtlResult result;
  result.json = wrong.empty() ? options.json : JsonAsked(args);
  if (!wrong.empty()) {
    // The word that is wrong, then the usage; with --json the object names
    // the error too.
    Fail(result, {CtlFailure::Usage, wrong, {}, CtlLeft::Unsaid});
    result.usage = UsageText();
  } else {
    for (const Command& each : kCommands) {
      if (std::strcmp(each.word.name, line.command->name) == 0)
        RunCommand(each, options, host, result);
    }
  }
  result.movedFrom = host.DataFolderMovedFrom();
  return result;
}

int CtlMain(const std::vector<std::string>& args, SessionHost& host) {
  if (AnswerHelpOrVersion(args, UsageText()))
    return kExitDone;
  const CtlResult result = CtlRun(args, host);
  CtlPrint(result);
  if (ConsoleHold::StopTaken()) {
    std::fflush(stdout);
    ConsoleWriteLine(stderr, Said("warning: stopped; the write was finished first"));
    std::fflush(stderr);
  }
  // A closed console waits for this before the process ends.
  ConsoleRunEnded();
  return result.status;
}
