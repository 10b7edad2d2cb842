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
constexpr int kExitRefused = 1;
constexpr int kExitUsage = kConsoleUsageError;
constexpr int kExitNoAdapter = 3;
constexpr int kExitInUse = 4;

// A stop asked for between a write and the reset that completes it would
// leave the adapter with a write it has not taken up; the run finishes the
// write and reports it. A person may still insist, once the write has run
// long enough to look stuck.
std::string FinishingTheWrite() {
  return "ostrelctl: finishing the write to the adapter before stopping; a second Ctrl+C once "
         "the write has run " +
         std::to_string(ConsoleStopGate::kGrace.count()) + " seconds ends ostrelctl at once";
}
constexpr char kWriteCut[] =
    "ostrelctl: stopped at once; the adapter may be left in the middle of its write";
// A backup file is finished, never left as a temporary file beside its name.
constexpr char kFinishingTheBackup[] = "ostrelctl: finishing the backup file before stopping";
constexpr char kBackupCut[] = "ostrelctl: stopped at once; the backup file may be left unfinished";

// A run's context: what was asked, what it found, the session and its
// system, and the copy that restore read and checked before it went near the
// adapter.
struct Run {
  const CtlOptions& options;
  CtlResult& result;
  AdapterSession& session;
  SessionSystem& system;
  const PowerSaveCopy* copy;
};

int Fail(CtlResult& result, int status, const std::string& what) {
  result.error = what;
  return result.status = status;
}

// A strategy to work with, or the reason there is none.
int NeedStrategy(const Run& run, const char* nothing) {
  if (run.session.IsQca() && !run.session.RecordRead())
    return Fail(run.result, kExitRefused,
                std::string("the adapter's device record cannot be read; ") + nothing);
  if (!run.session.HasStrategy())
    return Fail(run.result, kExitRefused,
                std::string("no strategy serves this adapter's firmware; ") + nothing);
  return kExitDone;
}

// Takes the adapter's copy, checks it, and saves it as a backup file; an
// existing file is replaced only when asked. `nothing` ends a refusal: what
// the run then did not do.
int SaveBackup(const Run& run, const std::string& path, const char* nothing) {
  if (const int status = NeedStrategy(run, nothing))
    return status;
  const auto copy = std::make_unique<PowerSaveCopy>();
  std::vector<uint8_t> file;
  std::string error;
  if (!run.session.TakeBackup(file, *copy, error))
    return Fail(run.result, kExitRefused, error + "; " + nothing);
  WriteFileResult saved;
  {
    const ConsoleHold hold(kFinishingTheBackup, kBackupCut);
    if (hold.Refused())
      return Fail(run.result, kCtlExitStoppedUnwritten, kCtlStoppedUnwritten);
    saved = WriteFileWhole(path, file, run.options.replace, error);
  }
  switch (saved) {
  case WriteFileResult::Written:
    break;
  case WriteFileResult::Exists:
    return Fail(run.result, kExitUsage,
                path + ": already exists; --replace replaces it; " + nothing);
  case WriteFileResult::Failed:
    return Fail(run.result, kExitUsage, path + ": cannot save the copy: " + error + "; " + nothing);
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
  facts.family = NameOf(found.Family());
  facts.qca = found.IsQca();
  facts.recordUnread = found.IsQca() && !found.RecordRead();
  if (facts.recordUnread)
    return Fail(run.result, kExitRefused, "the adapter's device record cannot be read");
  if (found.IsQca())
    facts.firmware = run.system.Utf8Of(found.Firmware());
  facts.strategy = found.StrategyName();
  facts.powerSave = PowerSaveStateName(found.State());
  // Firmware with no known setting is a fact to report; a strategy that
  // cannot read its adapter is a failure.
  if (found.HasStrategy() && found.State() == PowerSaveState::Unavailable)
    return Fail(run.result, kExitRefused,
                "the " + facts.strategy + " strategy cannot read the adapter's power-save state");
  return kExitDone;
}

// Runs `write` under the console hold. A stop that came before it lets no
// write start: returns false, having said so. A write that went ahead without
// its automatic copy, or without its record in the history, says so and why.
template <typename Write> bool HeldWrite(const Run& run, Write write) {
  const ConsoleHold hold(FinishingTheWrite(), kWriteCut);
  if (hold.Refused()) {
    Fail(run.result, kCtlExitStoppedUnwritten, kCtlStoppedUnwritten);
    return false;
  }
  run.result.write = write();
  run.result.unkept = UnkeptLines(*run.result.write);
  return true;
}

// A write that was sent but not taken up, or not found on reading back.
int WriteFailed(const Run& run, const std::string& what) {
  const SessionWrite& write = *run.result.write;
  if (write.outcome == WriteOutcome::ResetFailed)
    return Fail(run.result, kExitRefused,
                what + " was written, but the reset after it failed; the adapter takes it at its "
                       "next restart");
  return Fail(run.result, kExitRefused, write.verifyFault);
}

// A switch to the state the adapter already has writes nothing and resets
// nothing, unless forced: a flash write and a reset that drops the network
// for no change.
int RunSwitch(const Run& run, PowerSaveState target) {
  if (const int status = NeedStrategy(run, "nothing written"))
    return status;
  if (!run.options.backup.empty()) {
    if (const int status = SaveBackup(run, run.options.backup, "nothing written"))
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
    run.result.errorLine = true;
    return Fail(run.result, kExitRefused, PowerSaveResultLine(target, false));
  case WriteOutcome::ResetFailed:
  case WriteOutcome::ReadBackDiffers:
  case WriteOutcome::ReadBackUnreadable:
    return WriteFailed(run, std::string("power save ") + PowerSaveStateName(target));
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
  return SaveBackup(run, run.options.file, "nothing saved");
}

// Reads the backup file and checks it before anything reaches the adapter, so
// that a file error never waits for the adapter or depends on it.
int ReadRestoreCopy(const std::string& path, CtlResult& result, PowerSaveCopy& copy) {
  std::string fault;
  switch (BackupReadFile(path, copy, fault)) {
  case BackupReadResult::Read:
    return kExitDone;
  case BackupReadResult::Unreadable:
    return Fail(result, kExitUsage, fault + "; nothing written");
  case BackupReadResult::Refused:
    break;
  }
  return Fail(result, kExitRefused, fault + "; nothing written");
}

// Restore and undo: `path` is the copy's file, `action` what the history
// calls it, `undoes` the record an undo takes back; `refusedHint` follows a
// refusal.
int RestoreFrom(const Run& run, const std::string& path, HistoryAction action, bool force,
                const std::string& undoes, const std::string& refusedHint = {}) {
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
    return Fail(run.result, kExitRefused,
                path + ": " + run.system.Utf8Of(write.refused.text) + refusedHint +
                    "; nothing written");
  case WriteOutcome::ResetFailed:
  case WriteOutcome::ReadBackDiffers:
  case WriteOutcome::ReadBackUnreadable:
    return WriteFailed(run, path);
  case WriteOutcome::Written:
  case WriteOutcome::Verified:
    break;
  }
  return kExitDone;
}

int RunRestore(const Run& run) {
  if (const int status = NeedStrategy(run, "nothing written"))
    return status;
  return RestoreFrom(run, run.options.file, HistoryAction::Restore, run.options.force, {});
}

// A record as a person finds it in the history listing.
std::string RecordName(const HistoryRecord& record) {
  return record.time + " " + NameOf(record.program) + " " + NameOf(record.action) +
         (record.id.empty() ? "" : " (" + record.id + ")");
}

const char* PassedOverWhy(UndoPassReason why) {
  switch (why) {
  case UndoPassReason::ChangedNothing:
    return "it changed nothing";
  case UndoPassReason::NotWritten:
    return "it wrote nothing; the adapter holds what it started from";
  case UndoPassReason::NoCopy:
    return "it wrote over an image that did not open, so no copy of it was kept and it cannot "
           "be put back";
  case UndoPassReason::UndoTook:
    return "this undo was cut short after the adapter took it";
  }
  return "";
}

// Why undo --force writes a copy only onto the adapter it was taken from.
constexpr char kForceOnlyHere[] =
    "; undo --force writes a change's copy only onto the adapter it was taken from; restore FILE "
    "--force writes a copy you choose";

// Undoes the adapter's last change that is not undone, as the history and
// the digests of what the adapter holds decide; never another copy.
int RunUndo(const Run& run) {
  if (const int status = NeedStrategy(run, "nothing written"))
    return status;
  UndoPlan plan;
  std::vector<HistoryRecord> records;
  std::string fault;
  if (!run.session.PlanUndo(plan, records, fault))
    return Fail(run.result, kExitRefused, fault + "; nothing written");
  auto& passedOver = run.result.passedOver.emplace();
  for (const UndoPlan::Pass& pass : plan.passed) {
    const HistoryRecord& passed = records[pass.record];
    passedOver.push_back({RecordName(passed), PassedOverWhy(pass.why), passed.id});
  }
  if (plan.verdict == UndoVerdict::NothingLeft)
    return Fail(run.result, kExitRefused,
                "no change of this adapter is left to undo; nothing written");
  if (plan.verdict == UndoVerdict::Unproven)
    return Fail(run.result, kExitRefused,
                "the adapter's image does not open, and no recorded write left what it holds; "
                "restore FILE writes a copy you choose; nothing written");
  // The other verdicts name a record.
  const HistoryRecord* record = &records[plan.record];
  run.result.undoRecord = record->id;
  const auto refuse = [&run](const std::string& why) {
    return Fail(run.result, kExitRefused, why + "; nothing written");
  };
  const bool refused = plan.verdict != UndoVerdict::Undo;
  if (plan.verdict == UndoVerdict::Changed && !run.options.force)
    return refuse("the adapter no longer holds what the write of " + RecordName(*record) +
                  " left: another program, another user or another adapter changed "
                  "it since, or the write failed part-way; --force restores that "
                  "write's copy");
  if (plan.verdict == UndoVerdict::FirstFormat && !run.options.force)
    return refuse("the last change (" + RecordName(*record) +
                  ") was recorded without digests, so undo cannot check it; --force restores "
                  "its copy");
  if (refused && plan.addressUnknown)
    return refuse("the adapter's image does not open, so nothing shows that it is the adapter of " +
                  RecordName(*record) + kForceOnlyHere);
  const auto copy = std::make_unique<PowerSaveCopy>();
  if (!ReadRecordCopy(*record, *copy, fault))
    return refuse("cannot undo " + RecordName(*record) + ": " + fault);
  // Proven by the digests, the change is undone without the checks that
  // need the image to open. Forced, the copy goes through restore's checks
  // that it is this adapter's: its address, or a parameter's data.
  run.result.undoTried = true;
  return RestoreFrom({run.options, run.result, run.session, run.system, copy.get()}, record->copy,
                     HistoryAction::Undo, !refused, record->id, refused ? kForceOnlyHere : "");
}

// The records oldest first; a line that is no record is skipped with a
// warning. Needs neither the library nor the adapter.
int RunHistory(const Run& run) {
  std::string path, error;
  HistoryFile file;
  if (!run.session.HistoryPath(path, error) || !HistoryLoad(path, file, error))
    return Fail(run.result, kExitUsage, (path.empty() ? "" : path + ": ") + error);
  if (!file.foreign.empty())
    run.result.warnings.push_back(path + ": not a history this program can read (" + file.foreign +
                                  "); the next write moves it aside");
  for (const std::size_t line : HistorySkipped(file))
    run.result.warnings.push_back(path + ": line " + std::to_string(line) +
                                  " is not a history record; skipped");
  run.result.history = std::move(file.records);
  return kExitDone;
}

// Each command once: its word, whether it reaches the adapter, and what runs it.
struct Command {
  CommandWord word;
  bool adapter;
  int (*run)(const Run& run);
};

const Command kCommands[] = {
    {{"status", "", 0}, true, RunStatus},
    {{"on", "", 0}, true, RunOn},
    {{"off", "", 0}, true, RunOff},
    {{"backup", "FILE", 1}, true, RunBackup},
    {{"restore", "FILE", 1}, true, RunRestore},
    {{"undo", "", 0}, true, RunUndo},
    {{"history", "", 0}, false, RunHistory},
};

const CommandTable& CommandLineTable() {
  static const CommandTable table = [] {
    CommandTable made{"ostrelctl", {}, {}};
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
int RunDetected(const Command& command, const CtlOptions& options, SessionSystem& system,
                CtlResult& result, const PowerSaveCopy* copy) {
  AdapterSession session(HistoryProgram::Ctl, system);
  if (!session.Detect())
    return Fail(result, kExitNoAdapter, "no adapter found");
  if (!session.CutShortWrite().empty())
    result.warnings.push_back(session.CutShortWrite());
  return command.run({options, result, session, system, copy});
}

int RunCommand(const Command& command, const CtlOptions& options, CtlHost& host,
               CtlResult& result) {
  SessionSystem& system = host.System();
  const auto copy = std::make_unique<PowerSaveCopy>();
  if (!command.adapter) {
    AdapterSession none(HistoryProgram::Ctl, system);
    return command.run({options, result, none, system, copy.get()});
  }
  if (command.run == RunRestore) {
    if (const int status = ReadRestoreCopy(options.file, result, *copy))
      return status;
  }
  if (const char* unloaded = host.LoadDevice())
    return Fail(result, kExitUsage, unloaded);
  std::string refusal;
  if (!host.Lock(options.waitSeconds * 1000, refusal))
    return Fail(result, kExitInUse, refusal);
  // The lock is given up before the run says anything: a person or script
  // that acts on what it reads finds the adapter free.
  const int status = RunDetected(command, options, system, result, copy.get());
  host.Unlock();
  return status;
}

} // namespace

CtlResult CtlRun(const std::vector<std::string>& args, CtlHost& host) {
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
    Fail(result, kExitUsage, wrong);
    result.usage = UsageText();
  } else {
    for (const Command& each : kCommands) {
      if (std::strcmp(each.word.name, line.command->name) == 0)
        RunCommand(each, options, host, result);
    }
  }
  result.movedFrom = host.MovedFrom();
  return result;
}

int CtlMain(const std::vector<std::string>& args, CtlHost& host) {
  if (AnswerHelpOrVersion(args, UsageText()))
    return kExitDone;
  const CtlResult result = CtlRun(args, host);
  CtlPrint(result);
  if (ConsoleHold::StopTaken()) {
    std::fflush(stdout);
    ConsoleWriteLine(stderr, "ostrelctl: warning: stopped; the write was finished first");
    std::fflush(stderr);
  }
  // A closed console waits for this before the process ends.
  ConsoleRunEnded();
  return result.status;
}
