// ostrelctl: the power-save switch from the command line, with backup,
// restore and read-back, for people who look after several computers. It
// reaches the adapter only through the selection and the strategies, as
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
#include "devicelib/AdapterLock.h"
#include "devicelib/KelvaneLibrary.h"
#include "files/ReadFile.h"
#include "files/WideText.h"
#include "files/WriteFile.h"
#include "nvm/PibAddress.h"
#include "powersave/PowerSaveSelection.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
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

const char* StateName(uint16_t state) {
  return state == 1 ? "on" : state == 0 ? "off" : "unavailable";
}

// The command line after the command word.
struct Options {
  std::string file; // the command's FILE
  std::string backup;
  bool verify = true;
  bool force = false;   // the adapter's checks: write a state it has, restore over an unreadable image
  bool replace = false; // a backup file may replace an existing file
  unsigned waitSeconds = kDefaultWaitSeconds;
};

// One detection: the family, the device record the selection went by, and
// the strategy it chose, if any.
struct Detection {
  uint8_t family = 0;
  PowerSaveDetection detected;
  PowerSaveSlot op;

  std::string_view Firmware() const { return detected.record.Firmware(); }
};

// A run's context: what was asked, where it reports, and the copy that
// restore read and checked before it went near the adapter.
struct Run {
  const Options& options;
  CtlReport& report;
  Detection& found;
  const PowerSaveCopy* copy;
};

// A strategy to work with, or the reason there is none.
int NeedStrategy(const Run& run, const char* nothing) {
  if (run.found.family == kFamilyQca && !run.found.detected.recordRead)
    return run.report.Fail(kExitRefused,
                           std::string("the adapter's device record cannot be read; ") + nothing);
  if (!run.found.op)
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
  if (!run.found.op->SaveCopy(copy, refused))
    return run.report.Fail(kExitRefused, "cannot take a copy: " + AnsiToUtf8(refused.text) + "; " +
                                             nothing);
  BackupCopy backup;
  BackupFromCopy(copy, backup);
  backup.firmware = std::string(run.found.Firmware());
  backup.taken = static_cast<int64_t>(std::time(nullptr));
  const std::vector<uint8_t> file = BackupEncode(backup);
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
  if (backup.kind == BackupKind::NvmImage) {
    run.report.Say("layout: " + backup.layout, "layout", JsonText(backup.layout));
    const AddressText address(copy.address);
    run.report.Say(std::string("address: ") + address.text, "address", JsonText(address.text));
  }
  return kExitDone;
}

int RunStatus(const Run& run) {
  const Detection& found = run.found;
  const char* family = found.family == kFamilyQca ? "qualcomm-atheros" : "broadcom";
  run.report.Say(std::string("family: ") + family, "family", JsonText(family));
  if (found.family == kFamilyQca && !found.detected.recordRead)
    return run.report.Fail(kExitRefused, "the adapter's device record cannot be read");
  if (found.family == kFamilyQca) {
    const std::string firmware = AnsiToUtf8(found.Firmware());
    run.report.Say("firmware: " + firmware, "firmware", JsonText(firmware));
  } else {
    run.report.Member("firmware", JsonNull());
  }
  const char* strategy = found.op ? found.op->Variant().name : "none";
  run.report.Say(std::string("strategy: ") + strategy, "strategy", JsonText(strategy));
  const uint16_t state = found.op ? found.op->GetPowerSave() : 2;
  run.report.Say(std::string("power-save: ") + StateName(state), "power_save",
                 JsonText(StateName(state)));
  // Firmware with no known setting is a fact to report; a strategy that
  // cannot read its adapter is a failure.
  if (found.op && state > 1)
    return run.report.Fail(kExitRefused, std::string("the ") + strategy +
                                             " strategy cannot read the adapter's power-save state");
  return kExitDone;
}

// A fresh detection reads the state back, as a later scan would.
int VerifyState(const Run& run, uint16_t value) {
  PowerSaveSlot fresh;
  SelectPowerSaveOp(fresh);
  const uint16_t state = fresh ? fresh->GetPowerSave() : 2;
  run.report.Member("verified", JsonBool(state == value));
  if (state > 1)
    return run.report.Fail(kExitRefused, "verify: the power-save state cannot be read back");
  run.report.Say(std::string("verified: ") + StateName(state), "power_save",
                 JsonText(StateName(state)));
  if (state != value)
    return run.report.Fail(kExitRefused, std::string("verify: the adapter reads ") +
                                             StateName(state) + " after the write");
  return kExitDone;
}

// The adapter took the write, and only the reset after it failed: the write
// is not lost, but waits for the adapter's next restart.
int WrittenNotReset(const Run& run, const std::string& what) {
  run.report.Member("written", JsonBool(true));
  run.report.Member("reset", JsonBool(false));
  return run.report.Fail(kExitRefused, what + " was written, but the reset after it failed; the "
                                              "adapter takes it at its next restart");
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
  if (!run.options.force && run.found.op->GetPowerSave() == value) {
    run.report.Say(std::string("power-save: already ") + StateName(value) + "; nothing written",
                   "written", JsonBool(false));
    run.report.Member("power_save", JsonText(StateName(value)));
    return kExitDone;
  }
  bool done = false;
  {
    const ConsoleHold hold(kFinishingTheWrite);
    done = run.found.op->SetPowerSave(value);
  }
  if (!done && run.found.op->ResetFailed())
    return WrittenNotReset(run, std::string("power save ") + StateName(value));
  run.report.Member("written", JsonBool(done));
  const char* setting = value == 1 ? "Enable" : "Disable";
  if (!done)
    return run.report.FailLine(kExitRefused, std::string(setting) + " device power save fail!");
  run.report.Line(std::string(setting) + " device power save success!");
  return run.options.verify ? VerifyState(run, value) : kExitDone;
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

// A fresh detection fetches the adapter's copy again; what was written must
// come back byte for byte.
int VerifyCopy(const Run& run, const PowerSaveCopy& copy, uint32_t written) {
  PowerSaveSlot fresh;
  SelectPowerSaveOp(fresh);
  PowerSaveCopy now;
  PowerSaveError refused;
  const bool read = fresh && fresh->SaveCopy(now, refused);
  uint32_t same = 0;
  while (read && same < written && same < now.size && now.bytes[same] == copy.bytes[same])
    ++same;
  run.report.Member("verified", JsonBool(read && same == written));
  if (!read)
    return run.report.Fail(kExitRefused,
                           std::string("verify: the adapter's copy cannot be read back") +
                               (*refused.text != '\0' ? ": " + AnsiToUtf8(refused.text) : ""));
  if (same < written) {
    char differs[96];
    if (same < now.size)
      std::snprintf(differs, sizeof differs,
                    "verify: the adapter's copy differs at byte %u: 0x%02x written, 0x%02x read",
                    static_cast<unsigned>(same), copy.bytes[same], now.bytes[same]);
    else
      std::snprintf(differs, sizeof differs, "verify: the adapter's copy is %u bytes, %u written",
                    static_cast<unsigned>(now.size), static_cast<unsigned>(written));
    return run.report.Fail(kExitRefused, differs);
  }
  run.report.Line("verified: " + std::to_string(written) + " bytes");
  return kExitDone;
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

int RunRestore(const Run& run) {
  const std::string& path = run.options.file;
  if (const int status = NeedStrategy(run, "nothing written"))
    return status;
  uint32_t written = 0;
  PowerSaveError refused;
  bool restored = false;
  {
    const ConsoleHold hold(kFinishingTheWrite);
    restored = run.found.op->RestoreCopy(*run.copy, run.found.Firmware(), run.options.force,
                                         written, refused);
  }
  if (!restored) {
    if (run.found.op->ResetFailed())
      return WrittenNotReset(run, path);
    return run.report.Fail(kExitRefused, path + ": " + AnsiToUtf8(refused.text) +
                                             "; nothing written");
  }
  run.report.Say("restored: " + path + " (" + std::to_string(written) + " bytes written)",
                 "restored", JsonText(path));
  run.report.Member("bytes", JsonNumber(written));
  return run.options.verify ? VerifyCopy(run, *run.copy, written) : kExitDone;
}

const CommandTable kCommandLine = {
    "ostrelctl",
    {{"status", "", 0}, {"on", "", 0}, {"off", "", 0}, {"backup", "FILE", 1}, {"restore", "FILE", 1}},
    {
        {"backup", "FILE", "on off", true},
        {"replace", nullptr, "on off backup", true},
        {"force", nullptr, "on off restore", true},
        {"verify", nullptr, "on off restore", false}, // the default, accepted for scripts
        {"no-verify", nullptr, "on off restore", true},
        {"json", nullptr, nullptr, true},
        {"wait", "SECONDS", nullptr, true},
    }};

const struct {
  const char* name;
  int (*run)(const Run& run);
} kCommands[] = {
    {"status", RunStatus}, {"on", RunOn},           {"off", RunOff},
    {"backup", RunBackup}, {"restore", RunRestore},
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
  int (*run)(const Run&) = nullptr;
  for (const auto& command : kCommands) {
    if (std::string(command.name) == line.command->name)
      run = command.run;
  }
  PowerSaveCopy copy;
  if (run == RunRestore) {
    if (const int status = ReadRestoreCopy(options.file, report, copy))
      return status;
  }
  const KelvaneLoadResult loaded = KelvaneLoad();
  if (loaded != KelvaneLoadResult::Loaded)
    return report.Fail(kExitUsage, KelvaneLoadResultText(loaded));
  const AdapterLock lock(options.waitSeconds * 1000);
  if (lock.Unavailable())
    return report.Fail(kExitInUse, "the adapter lock cannot be opened: " +
                                       SystemReason(lock.OpenError()) +
                                       "; another program has taken its name");
  if (!lock.Held())
    return report.Fail(kExitInUse, "the adapter is in use by another program");
  Detection found;
  found.family = SelectPowerSaveOp(found.op, &found.detected);
  if (found.family != kFamilyQca && found.family != kFamilyBroadcom)
    return report.Fail(kExitNoAdapter, "no adapter found");
  return run({options, report, found, &copy});
}

} // namespace

const char kConsoleProgram[] = "ostrelctl";

int Main(const std::vector<std::string>& args) {
  const std::string word = args.size() > 1 ? args[1] : std::string();
  if (IsHelpWord(word)) {
    ConsoleWrite(stdout, UsageText());
    return kExitDone;
  }
  if (word == "--version") {
    ConsoleWrite(stdout, "ostrelctl " OSTREL_VERSION "\n");
    return kExitDone;
  }
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
