// ostrelctl: the power-save switch from the command line, with backup,
// restore, undo, the history and read-back, for people who look after several
// computers. It reaches the adapter only through the adapter session, as
// Ostrel.exe does, and holds the computer-wide adapter lock for the whole run.
//
// Exit status: 0 done; 1 the adapter or the copy refused, or the read-back
// differs or cannot be read; 2 usage, file or library error; 3 no adapter;
// 4 the adapter is in use by another program; 5 stopped before anything was
// written.
#include "backup/BackupFile.h"
#include "console/CommandLine.h"
#include "console/ConsoleHold.h"
#include "console/ConsoleMain.h"
#include "console/ConsoleText.h"
#include "ctl/CtlOptions.h"
#include "ctl/CtlReport.h"
#include "files/WideText.h"
#include "files/WriteFile.h"
#include "nvm/PibAddress.h"
#include "session/AdapterSession.h"
#include "session/History.h"
#include "session/SessionClock.h"
#include "session/SessionLock.h"
#include "session/UndoPlan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = kConsoleUsageError;
constexpr int kExitNoAdapter = 3;
constexpr int kExitInUse = 4;
constexpr int kExitStoppedUnwritten = 5;
constexpr char kStoppedUnwritten[] = "stopped before anything was written";

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

// A run's context: what was asked, where it reports, and the copy that
// restore read and checked before it went near the adapter.
struct Run {
  const CtlOptions& options;
  CtlReport& report;
  AdapterSession& session;
  const PowerSaveCopy* copy;
};

// A strategy to work with, or the reason there is none.
int NeedStrategy(const Run& run, const char* nothing) {
  if (run.session.IsQca() && !run.session.RecordRead())
    return run.report.Fail(kExitRefused,
                           std::string("the adapter's device record cannot be read; ") + nothing);
  if (!run.session.HasStrategy())
    return run.report.Fail(kExitRefused,
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
    return run.report.Fail(kExitRefused, error + "; " + nothing);
  WriteFileResult saved;
  {
    const ConsoleHold hold(kFinishingTheBackup, kBackupCut);
    if (hold.Refused())
      return run.report.Fail(kExitStoppedUnwritten, kStoppedUnwritten);
    saved = WriteFileWhole(path, file, run.options.replace, error);
  }
  switch (saved) {
  case WriteFileResult::Written:
    break;
  case WriteFileResult::Exists:
    return run.report.Fail(kExitUsage,
                           path + ": already exists; --replace replaces it; " + nothing);
  case WriteFileResult::Failed:
    return run.report.Fail(kExitUsage, path + ": cannot save the copy: " + error + "; " + nothing);
  }
  run.report.Say("saved: " + path + " (" + std::to_string(file.size()) + " bytes)", "saved",
                 JsonText(path));
  run.report.Member("bytes", JsonNumber(file.size()));
  if (copy->kind == BackupKind::NvmImage) {
    const std::string layout(copy->Layout());
    run.report.Say("layout: " + layout, "layout", JsonText(layout));
    const AddressText address(copy->address);
    run.report.Say(std::string("address: ") + address.text, "address", JsonText(address.text));
  }
  return kExitDone;
}

int RunStatus(const Run& run) {
  AdapterSession& found = run.session;
  const char* family = NameOf(found.Family());
  run.report.Say(std::string("family: ") + family, "family", JsonText(family));
  if (found.IsQca() && !found.RecordRead())
    return run.report.Fail(kExitRefused, "the adapter's device record cannot be read");
  if (found.IsQca()) {
    const std::string firmware = AnsiToUtf8(found.Firmware());
    run.report.Say("firmware: " + firmware, "firmware", JsonText(firmware));
  } else {
    run.report.Member("firmware", JsonNull());
  }
  const char* strategy = found.StrategyName();
  run.report.Say(std::string("strategy: ") + strategy, "strategy", JsonText(strategy));
  const char* state = PowerSaveStateName(found.State());
  run.report.Say(std::string("power-save: ") + state, "power_save", JsonText(state));
  // Firmware with no known setting is a fact to report; a strategy that
  // cannot read its adapter is a failure.
  if (found.HasStrategy() && found.State() == PowerSaveState::Unavailable)
    return run.report.Fail(kExitRefused,
                           std::string("the ") + strategy +
                               " strategy cannot read the adapter's power-save state");
  return kExitDone;
}

// A write that went ahead without its automatic copy, or without its record
// in the history, says so and why; the copy's path is in the history.
void WarnUnkept(const Run& run, const SessionWrite& write) {
  for (const std::string& line : UnkeptLines(write))
    run.report.Warn(line);
}

// Runs `write` under the console hold. A stop that came before it lets no
// write start: returns false, having said so; the status is
// kExitStoppedUnwritten.
template <typename Write> bool HeldWrite(const Run& run, SessionWrite& result, Write write) {
  const ConsoleHold hold(FinishingTheWrite(), kWriteCut);
  if (hold.Refused()) {
    run.report.Fail(kExitStoppedUnwritten, kStoppedUnwritten);
    return false;
  }
  result = write();
  return true;
}

// The adapter took the write, and only the reset after it failed: the write
// is not lost, but waits for the adapter's next restart.
int WrittenNotReset(const Run& run, const std::string& what) {
  run.report.Member("written", JsonBool(true));
  run.report.Member("reset", JsonBool(false));
  return run.report.Fail(kExitRefused, what + " was written, but the reset after it failed; the "
                                              "adapter takes it at its next restart");
}

// A read-back that did not find what was written: the write was sent, and
// nothing says it succeeded.
int ReadBackFailed(const Run& run, const SessionWrite& write) {
  run.report.Member("written", JsonBool(true));
  run.report.Member("verified", JsonBool(false));
  return run.report.Fail(kExitRefused, write.verifyFault);
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
  const char* name = PowerSaveStateName(target);
  if (!run.options.force && run.session.State() == target) {
    run.report.Say(std::string("power-save: already ") + name + "; nothing written", "written",
                   JsonBool(false));
    run.report.Member("power_save", JsonText(name));
    return kExitDone;
  }
  SessionWrite write;
  if (!HeldWrite(run, write, [&] {
        return run.session.Switch(target, {run.options.copy, run.options.verify});
      }))
    return kExitStoppedUnwritten;
  WarnUnkept(run, write);
  switch (write.outcome) {
  case WriteOutcome::Refused:
  case WriteOutcome::AdapterRefused:
    run.report.Member("written", JsonBool(false));
    return run.report.FailLine(kExitRefused, PowerSaveResultLine(target, false));
  case WriteOutcome::ResetFailed:
    return WrittenNotReset(run, std::string("power save ") + name);
  case WriteOutcome::ReadBackDiffers:
  case WriteOutcome::ReadBackUnreadable:
    run.report.Member("power_save", JsonText(PowerSaveStateName(write.stateAfter)));
    return ReadBackFailed(run, write);
  case WriteOutcome::Written:
  case WriteOutcome::Verified:
    break;
  }
  run.report.Member("written", JsonBool(true));
  run.report.Line(PowerSaveResultLine(target, true));
  if (write.outcome == WriteOutcome::Verified) {
    run.report.Member("verified", JsonBool(true));
    run.report.Say(std::string("verified: ") + name, "power_save", JsonText(name));
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
int ReadRestoreCopy(const std::string& path, CtlReport& report, PowerSaveCopy& copy) {
  std::string fault;
  switch (BackupReadFile(path, copy, fault)) {
  case BackupReadResult::Read:
    return kExitDone;
  case BackupReadResult::Unreadable:
    return report.Fail(kExitUsage, fault + "; nothing written");
  case BackupReadResult::Refused:
    break;
  }
  return report.Fail(kExitRefused, fault + "; nothing written");
}

// Restore and undo: `path` is the copy's file, `action` what the history
// calls it, `undoes` the record an undo takes back; `refusedHint` follows a
// refusal.
int RestoreFrom(const Run& run, const std::string& path, HistoryAction action, bool force,
                const std::string& undoes, const std::string& refusedHint = {}) {
  SessionWrite write;
  if (!HeldWrite(run, write, [&] {
        return run.session.Restore(*run.copy, action, force, {run.options.copy, run.options.verify},
                                   undoes);
      }))
    return kExitStoppedUnwritten;
  WarnUnkept(run, write);
  switch (write.outcome) {
  case WriteOutcome::Refused:
  case WriteOutcome::AdapterRefused:
    return run.report.Fail(kExitRefused, path + ": " + AnsiToUtf8(write.refused.text) +
                                             refusedHint + "; nothing written");
  case WriteOutcome::ResetFailed:
    return WrittenNotReset(run, path);
  case WriteOutcome::ReadBackDiffers:
  case WriteOutcome::ReadBackUnreadable:
    run.report.Member("restored", JsonText(path));
    return ReadBackFailed(run, write);
  case WriteOutcome::Written:
  case WriteOutcome::Verified:
    break;
  }
  run.report.Say("restored: " + path + " (" + std::to_string(write.bytes) + " bytes written)",
                 "restored", JsonText(path));
  run.report.Member("bytes", JsonNumber(write.bytes));
  if (write.outcome == WriteOutcome::Verified) {
    run.report.Member("verified", JsonBool(true));
    run.report.Line("verified: " + std::to_string(write.bytes) + " bytes");
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
    return run.report.Fail(kExitRefused, fault + "; nothing written");
  std::string passedIds;
  for (const UndoPlan::Pass& pass : plan.passed) {
    const HistoryRecord& passed = records[pass.record];
    run.report.Line("passed over: " + RecordName(passed) + ": " + PassedOverWhy(pass.why));
    passedIds += (passedIds.empty() ? "" : ", ") + JsonText(passed.id).text;
  }
  run.report.Member("passed_over", JsonValue{"[" + passedIds + "]"});
  if (plan.verdict == UndoVerdict::NothingLeft)
    return run.report.Fail(kExitRefused,
                           "no change of this adapter is left to undo; nothing written");
  if (plan.verdict == UndoVerdict::Unproven)
    return run.report.Fail(kExitRefused,
                           "the adapter's image does not open, and no recorded write left what "
                           "it holds; restore FILE writes a copy you choose; nothing written");
  // The other verdicts name a record.
  const HistoryRecord* record = &records[plan.record];
  const auto refuse = [&run, record](const std::string& why) {
    run.report.Member("record", record->id.empty() ? JsonNull() : JsonText(record->id));
    return run.report.Fail(kExitRefused, why + "; nothing written");
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
  const int status =
      RestoreFrom({run.options, run.report, run.session, copy.get()}, record->copy,
                  HistoryAction::Undo, !refused, record->id, refused ? kForceOnlyHere : "");
  run.report.Member(status == kExitDone ? "undoes" : "record",
                    record->id.empty() ? JsonNull() : JsonText(record->id));
  return status;
}

// A digest cut to its first 12 hex digits, so that a record fits a console.
std::string ShortDigest(const std::string& digest) {
  return digest.empty() ? "none" : digest.substr(0, 12);
}

// The records oldest first; a line that is no record is skipped with a
// warning. Needs neither the library nor the adapter.
int RunHistory(const Run& run) {
  CtlReport& report = run.report;
  std::string path, error;
  HistoryFile file;
  if (!run.session.HistoryPath(path, error) || !HistoryLoad(path, file, error))
    return report.Fail(kExitUsage, (path.empty() ? "" : path + ": ") + error);
  if (!file.foreign.empty())
    report.Warn(path + ": not a history this program can read (" + file.foreign +
                "); the next write moves it aside");
  for (const std::size_t line : HistorySkipped(file))
    report.Warn(path + ": line " + std::to_string(line) + " is not a history record; skipped");
  std::string list;
  for (const HistoryRecord& record : file.records) {
    std::string object;
    for (const HistoryField& field : kHistoryFields) {
      const std::string value = field.text(record);
      const bool none = value.empty() && !field.named;
      object += std::string(object.empty() ? "{" : ", ") + JsonText(field.name).text + ": " +
                (none ? JsonNull() : JsonText(value)).text;
    }
    list += (list.empty() ? "" : ", ") + object + "}";
    // A few short lines a record, so that each fits a console's width.
    report.Line(record.time + "  " + NameOf(record.program) + "  " + NameOf(record.action) + "  " +
                NameOf(record.before) + " -> " + NameOf(record.after) + "  " +
                NameOf(record.result));
    std::string adapter = std::string("  ") + NameOf(record.family);
    for (const std::string* part : {&record.address, &record.firmware})
      adapter += part->empty() ? "" : "  " + *part;
    report.Line(adapter);
    report.Line("  copy: " + (record.copy.empty() ? std::string("none") : record.copy));
    if (record.format >= 2)
      report.Line("  id: " + record.id + "  sha256: " + ShortDigest(record.beforeSha256) + " -> " +
                  ShortDigest(record.afterSha256));
    if (!record.undoes.empty())
      report.Line("  undoes: " + record.undoes);
  }
  report.Member("history", JsonValue{"[" + list + "]"});
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

// A usage error: the word that is wrong, then the usage, on standard error;
// with --json the object names the error too.
int UsageError(CtlReport& report, const std::string& what) {
  report.Fail(kExitUsage, what);
  ConsoleWrite(stderr, UsageText());
  return kExitUsage;
}

int RunCommand(const Command& command, const CtlOptions& options, CtlReport& report) {
  const auto copy = std::make_unique<PowerSaveCopy>();
  if (!command.adapter) {
    AdapterSession none(HistoryProgram::Ctl, HostSessionSystem());
    return command.run({options, report, none, copy.get()});
  }
  if (command.run == RunRestore) {
    if (const int status = ReadRestoreCopy(options.file, report, *copy))
      return status;
  }
  if (const char* unloaded = AdapterSession::Load())
    return report.Fail(kExitUsage, unloaded);
  const SessionLock lock(options.waitSeconds * 1000, false);
  if (!lock.Held())
    return report.Fail(kExitInUse, lock.Refusal());
  AdapterSession session(HistoryProgram::Ctl, HostSessionSystem());
  if (!session.Detect())
    return report.Fail(kExitNoAdapter, "no adapter found");
  if (!session.CutShortWrite().empty())
    report.Warn(session.CutShortWrite());
  return command.run({options, report, session, copy.get()});
}

} // namespace

const char kConsoleProgram[] = "ostrelctl";

int Main(const std::vector<std::string>& args) {
  ConsoleStopsFromStart(std::string(kConsoleProgram) + ": " + kStoppedUnwritten,
                        kExitStoppedUnwritten);
  if (AnswerHelpOrVersion(args, UsageText()))
    return kExitDone;
  CommandLine line;
  CtlOptions options;
  std::string wrong = ParseCommandLine(CommandLineTable(), args, line);
  if (wrong.empty())
    wrong = ReadCtlOptions(line, options);
  CtlReport report(wrong.empty() ? options.json : JsonAsked(args));
  const Command* command = nullptr;
  for (const Command& each : kCommands) {
    if (line.command != nullptr && std::strcmp(each.word.name, line.command->name) == 0)
      command = &each;
  }
  const int status =
      wrong.empty() ? RunCommand(*command, options, report) : UsageError(report, wrong);
  const std::string movedFrom = OstrelDataFolderMovedFrom();
  if (!movedFrom.empty())
    report.Warn("the copies and the history were moved from " + movedFrom +
                ", where this program kept them before, to the folder LOCALAPPDATA names");
  report.Finish();
  if (ConsoleHold::StopTaken())
    report.Warn("stopped; the write was finished first");
  // A closed console waits for this before the process ends.
  ConsoleRunEnded();
  return status;
}
