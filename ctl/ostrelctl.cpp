// ostrelctl: the power-save switch from the command line, with backup,
// restore, undo, the history and read-back, for people who look after several
// computers. It reaches the adapter only through the adapter session, as
// Ostrel.exe does, and holds the computer-wide adapter lock for the whole run.
//
// Exit status: 0 done; 1 the adapter or the copy refused, or the read-back
// differs or cannot be read; 2 usage, file or library error; 3 no adapter;
// 4 the adapter is in use by another program.
#include "backup/BackupFile.h"
#include "console/CommandLine.h"
#include "console/ConsoleHold.h"
#include "console/ConsoleMain.h"
#include "console/ConsoleText.h"
#include "ctl/CtlReport.h"
#include "files/ReadFile.h"
#include "files/WideText.h"
#include "files/WriteFile.h"
#include "nvm/PibAddress.h"
#include "session/AdapterSession.h"
#include "session/History.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = kConsoleUsageError;
constexpr int kExitNoAdapter = 3;
constexpr int kExitInUse = 4;

constexpr unsigned kDefaultWaitSeconds = 30;
constexpr unsigned kMaxWaitSeconds = 24 * 60 * 60;
// A stop asked for between a write and the reset that completes it would
// leave the adapter with a write it has not taken up; the run ends after it.
constexpr char kFinishingTheWrite[] =
    "ostrelctl: finishing the write to the adapter before stopping";

// More than the largest backup file: a file larger than this is no backup.
constexpr std::size_t kMaxBackupFileSize = 2 * kBackupMaxCopy;

// The command line after the command word.
struct Options {
  std::string file; // the command's FILE
  std::string backup;
  bool verify = true;
  bool force = false;   // the adapter's checks: write a state it has, restore over an unreadable image
  bool replace = false; // a backup file may replace an existing file
  bool copy = true;     // the automatic copy before a write
  unsigned waitSeconds = kDefaultWaitSeconds;
};

// A run's context: what was asked, where it reports, and the copy that
// restore read and checked before it went near the adapter.
struct Run {
  const Options& options;
  CtlReport& report;
  AdapterSession& session;
  const PowerSaveCopy* copy;
};

// A strategy to work with, or the reason there is none.
int NeedStrategy(const Run& run, const char* nothing) {
  if (run.session.IsQca() && !run.session.RecordRead())
    return run.report.Fail(kExitRefused,
                           std::string("the adapter's device record cannot be read; ") + nothing);
  if (run.session.Strategy() == nullptr)
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
  PowerSaveCopy copy;
  PowerSaveError refused;
  if (!run.session.Strategy()->SaveCopy(copy, refused))
    return run.report.Fail(kExitRefused, "cannot take a copy: " + AnsiToUtf8(refused.text) + "; " +
                                             nothing);
  const std::vector<uint8_t> file = run.session.BackupFileOf(copy);
  if (file.empty())
    return run.report.Fail(kExitRefused,
                           std::string("the system offers no SHA-256 digest; ") + nothing);
  std::string error;
  switch (WriteFileWhole(path, file, run.options.replace, error)) {
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
  if (copy.kind == BackupKind::NvmImage) {
    const std::string layout(copy.Layout());
    run.report.Say("layout: " + layout, "layout", JsonText(layout));
    const AddressText address(copy.address);
    run.report.Say(std::string("address: ") + address.text, "address", JsonText(address.text));
  }
  return kExitDone;
}

int RunStatus(const Run& run) {
  AdapterSession& found = run.session;
  const char* family = found.FamilyName();
  run.report.Say(std::string("family: ") + family, "family", JsonText(family));
  if (found.IsQca() && !found.RecordRead())
    return run.report.Fail(kExitRefused, "the adapter's device record cannot be read");
  if (found.IsQca()) {
    const std::string firmware = AnsiToUtf8(found.Firmware());
    run.report.Say("firmware: " + firmware, "firmware", JsonText(firmware));
  } else {
    run.report.Member("firmware", JsonNull());
  }
  const char* strategy = found.Strategy() ? found.Strategy()->Variant().name : "none";
  run.report.Say(std::string("strategy: ") + strategy, "strategy", JsonText(strategy));
  const uint16_t state = found.ReadState();
  run.report.Say(std::string("power-save: ") + PowerSaveStateName(state), "power_save",
                 JsonText(PowerSaveStateName(state)));
  // Firmware with no known setting is a fact to report; a strategy that
  // cannot read its adapter is a failure.
  if (found.Strategy() && state > 1)
    return run.report.Fail(kExitRefused, std::string("the ") + strategy +
                                             " strategy cannot read the adapter's power-save state");
  return kExitDone;
}

// A write that went ahead without its automatic copy, or without its record
// in the history, says so and why; the copy's path is in the history.
void WarnUnkept(const Run& run, const SessionWrite& write) {
  if (write.started && write.copyPath.empty() && run.options.copy)
    run.report.Warn("no automatic copy was saved before the write: " + write.copyFault);
  if (write.started && !write.historyFault.empty())
    run.report.Warn("the write is not in the history: " + write.historyFault);
}

// The adapter took the write, and only the reset after it failed: the write
// is not lost, but waits for the adapter's next restart.
int WrittenNotReset(const Run& run, const std::string& what) {
  run.report.Member("written", JsonBool(true));
  run.report.Member("reset", JsonBool(false));
  return run.report.Fail(kExitRefused, what + " was written, but the reset after it failed; the "
                                              "adapter takes it at its next restart");
}

// The read-back's outcome. `read` is what it found, for a person: the
// state, which JSON gives as "power_save", or the bytes that came back as
// written.
int ReportVerify(const Run& run, const SessionWrite& write, const std::string& read,
                 bool isState) {
  if (!run.options.verify)
    return kExitDone;
  run.report.Member("verified", JsonBool(write.verified));
  if (!read.empty() && isState)
    run.report.Say("verified: " + read, "power_save", JsonText(read));
  else if (!read.empty())
    run.report.Line("verified: " + read);
  return write.verifyFault.empty() ? kExitDone : run.report.Fail(kExitRefused, write.verifyFault);
}

// A switch to the state the adapter already has writes nothing and resets
// nothing, unless forced: a flash write and a reset that drops the network
// for no change.
int RunSwitch(const Run& run, uint16_t value) {
  if (const int status = NeedStrategy(run, "nothing written"))
    return status;
  if (!run.options.backup.empty()) {
    if (const int status = SaveBackup(run, run.options.backup, "nothing written"))
      return status;
  }
  const char* name = PowerSaveStateName(value);
  if (!run.options.force && run.session.ReadState() == value) {
    run.report.Say(std::string("power-save: already ") + name + "; nothing written", "written",
                   JsonBool(false));
    run.report.Member("power_save", JsonText(name));
    return kExitDone;
  }
  SessionWrite write;
  {
    const ConsoleHold hold(kFinishingTheWrite);
    write = run.session.Switch(value, {run.options.copy, run.options.verify});
  }
  WarnUnkept(run, write);
  if (write.resetFailed)
    return WrittenNotReset(run, std::string("power save ") + name);
  run.report.Member("written", JsonBool(write.written));
  if (!write.written)
    return run.report.FailLine(kExitRefused, PowerSaveResultLine(value, false));
  run.report.Line(PowerSaveResultLine(value, true));
  return ReportVerify(run, write, write.stateAfter <= 1 ? PowerSaveStateName(write.stateAfter) : "",
                      true);
}

int RunOn(const Run& run) {
  return RunSwitch(run, 1);
}

int RunOff(const Run& run) {
  return RunSwitch(run, 0);
}

int RunBackup(const Run& run) {
  return SaveBackup(run, run.options.file, "nothing saved");
}

// Reads the backup file and checks it before anything reaches the adapter, so
// that a file error never waits for the adapter or depends on it.
int ReadRestoreCopy(const std::string& path, CtlReport& report, PowerSaveCopy& copy) {
  std::vector<uint8_t> file;
  std::string error;
  if (!ReadFileUpTo(path, kMaxBackupFileSize, file, error))
    return report.Fail(kExitUsage, path + ": " + error + "; nothing written");
  if (file.size() > kMaxBackupFileSize)
    return report.Fail(kExitUsage, path + ": the file is too large: over " +
                                       std::to_string(kMaxBackupFileSize) +
                                       " bytes, more than any backup file holds; nothing written");
  BackupCopy backup;
  Fault fault;
  if (!BackupDecode(file.data(), file.size(), backup, &fault))
    return report.Fail(kExitRefused, path + ": " + fault.text + "; nothing written");
  if (!BackupToCopy(backup, copy))
    return report.Fail(kExitRefused,
                       path + ": holds more than any adapter takes; nothing written");
  return kExitDone;
}

// Restore and undo: `path` is the copy's file, `action` what the history
// calls it.
int RestoreFrom(const Run& run, const std::string& path, SessionAction action) {
  if (const int status = NeedStrategy(run, "nothing written"))
    return status;
  SessionWrite write;
  {
    const ConsoleHold hold(kFinishingTheWrite);
    write = run.session.Restore(*run.copy, action, run.options.force,
                                {run.options.copy, run.options.verify});
  }
  WarnUnkept(run, write);
  if (write.resetFailed)
    return WrittenNotReset(run, path);
  if (!write.written)
    return run.report.Fail(kExitRefused, path + ": " + AnsiToUtf8(write.refused.text) +
                                             "; nothing written");
  run.report.Say("restored: " + path + " (" + std::to_string(write.bytes) + " bytes written)",
                 "restored", JsonText(path));
  run.report.Member("bytes", JsonNumber(write.bytes));
  return ReportVerify(run, write, write.verified ? std::to_string(write.bytes) + " bytes" : "",
                      false);
}

int RunRestore(const Run& run) {
  return RestoreFrom(run, run.options.file, SessionAction::Restore);
}

// The newest automatic copy of this adapter, read and checked as restore
// reads its file. Its own copy comes first, so an undo can be undone.
int RunUndo(const Run& run) {
  if (const int status = NeedStrategy(run, "nothing written"))
    return status;
  std::string path, fault;
  if (!run.session.NewestCopy(path, fault))
    return run.report.Fail(kExitRefused, fault);
  const auto copy = std::make_unique<PowerSaveCopy>();
  if (const int status = ReadRestoreCopy(path, run.report, *copy))
    return status;
  return RestoreFrom({run.options, run.report, run.session, copy.get()}, path,
                     SessionAction::Undo);
}

// The records oldest first; a line that is no record is skipped with a
// warning. Needs neither the library nor the adapter.
int RunHistory(CtlReport& report) {
  std::string path, error;
  std::vector<HistoryRecord> records;
  std::vector<std::size_t> skipped;
  if (!AdapterSession::HistoryPath(path, error) || !HistoryRead(path, records, skipped, error))
    return report.Fail(kExitUsage, (path.empty() ? "" : path + ": ") + error);
  for (const std::size_t line : skipped)
    report.Warn(path + ": line " + std::to_string(line) + " is not a history record; skipped");
  std::string list;
  for (const HistoryRecord& record : records) {
    std::string object;
    for (const HistoryField& field : kHistoryFields) {
      const std::string& value = record.*field.value;
      const bool none = value.empty() && field.allowed == nullptr;
      object += std::string(object.empty() ? "{" : ", ") + JsonText(field.name).text + ": " +
                (none ? JsonNull() : JsonText(value)).text;
    }
    list += (list.empty() ? "" : ", ") + object + "}";
    // Three lines a record, so that each fits a console's width.
    report.Line(record.time + "  " + record.program + "  " + record.action + "  " + record.before +
                " -> " + record.after + "  " + record.result);
    std::string adapter = "  " + record.family;
    for (const std::string* part : {&record.address, &record.firmware})
      adapter += part->empty() ? "" : "  " + *part;
    report.Line(adapter);
    report.Line("  copy: " + (record.copy.empty() ? std::string("none") : record.copy));
  }
  report.Member("history", JsonValue{"[" + list + "]"});
  return kExitDone;
}

const CommandTable kCommandLine = {
    "ostrelctl",
    {{"status", "", 0},
     {"on", "", 0},
     {"off", "", 0},
     {"backup", "FILE", 1},
     {"restore", "FILE", 1},
     {"undo", "", 0},
     {"history", "", 0}},
    {
        {"backup", "FILE", "on off", true},
        {"replace", nullptr, "on off backup", true},
        {"force", nullptr, "on off restore undo", true},
        {"verify", nullptr, "on off restore undo", false}, // the default, accepted for scripts
        {"no-verify", nullptr, "on off restore undo", true},
        {"no-copy", nullptr, "on off restore undo", true},
        {"json", nullptr, nullptr, true},
        {"wait", "SECONDS", "status on off backup restore undo", true},
    }};

const struct {
  const char* name;
  int (*run)(const Run& run);
} kCommands[] = {
    {"status", RunStatus}, {"on", RunOn},           {"off", RunOff},
    {"backup", RunBackup}, {"restore", RunRestore}, {"undo", RunUndo},
};

std::string UsageText() {
  return CommandUsage(kCommandLine) +
         "SECONDS is 0 to " + std::to_string(kMaxWaitSeconds) + ", 30 by default.\n";
}

// A usage error: the word that is wrong, then the usage, on standard error;
// with --json the object names the error too.
int UsageError(CtlReport& report, const std::string& what) {
  report.Fail(kExitUsage, what);
  ConsoleWrite(stderr, UsageText());
  return kExitUsage;
}

bool ParseSeconds(const std::string& text, unsigned& seconds) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || text[0] < '0' || text[0] > '9' || *end != '\0' || value > kMaxWaitSeconds)
    return false;
  seconds = static_cast<unsigned>(value);
  return true;
}

// The options' meaning. Returns what is wrong, or an empty text.
std::string ReadOptions(const CommandLine& line, Options& options) {
  if (!line.operands.empty())
    options.file = line.operands[0];
  options.backup = line.Value("backup");
  options.force = line.Has("force");
  options.replace = line.Has("replace");
  options.verify = !line.Has("no-verify");
  options.copy = !line.Has("no-copy");
  // Read-back is the default; asking for it and against it contradicts.
  if (line.Has("verify") && !options.verify)
    return "'--verify' and '--no-verify' contradict each other";
  const std::string wait = line.Value("wait");
  if (line.Has("wait") && !ParseSeconds(wait, options.waitSeconds))
    return "'--wait " + wait + "': give whole seconds, at most " + std::to_string(kMaxWaitSeconds);
  return {};
}

// --json before any "--", for a command line too wrong to parse.
bool JsonAsked(const std::vector<std::string>& args) {
  for (std::size_t i = 2; i < args.size() && args[i] != "--"; ++i) {
    if (args[i] == "--json")
      return true;
  }
  return false;
}

int RunCommand(const CommandLine& line, const Options& options, CtlReport& report) {
  if (std::string(line.command->name) == "history")
    return RunHistory(report);
  int (*run)(const Run&) = nullptr;
  for (const auto& command : kCommands) {
    if (std::string(command.name) == line.command->name)
      run = command.run;
  }
  const auto copy = std::make_unique<PowerSaveCopy>();
  if (run == RunRestore) {
    if (const int status = ReadRestoreCopy(options.file, report, *copy))
      return status;
  }
  if (const char* unloaded = AdapterSession::Load())
    return report.Fail(kExitUsage, unloaded);
  const SessionLock lock(options.waitSeconds * 1000, false);
  if (!lock.Held())
    return report.Fail(kExitInUse, lock.Refusal());
  AdapterSession session(kConsoleProgram);
  if (!session.Detect())
    return report.Fail(kExitNoAdapter, "no adapter found");
  return run({options, report, session, copy.get()});
}

} // namespace

const char kConsoleProgram[] = "ostrelctl";

int Main(const std::vector<std::string>& args) {
  if (AnswerHelpOrVersion(args, UsageText()))
    return kExitDone;
  CommandLine line;
  Options options;
  std::string wrong = ParseCommandLine(kCommandLine, args, line);
  if (wrong.empty())
    wrong = ReadOptions(line, options);
  CtlReport report(wrong.empty() ? line.Has("json") : JsonAsked(args));
  const int status =
      wrong.empty() ? RunCommand(line, options, report) : UsageError(report, wrong);
  report.Finish();
  return status;
}
