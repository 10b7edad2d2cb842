// ostrelctl: the power-save switch from the command line, with backup,
// restore and read-back, for people who look after several computers. It
// reaches the adapter only through the selection and the strategies, as
// Ostrel.exe does, and holds the computer-wide adapter lock for the whole run.
//
// Exit status: 0 done; 1 the adapter or the copy refused, or the read-back
// differs or cannot be read; 2 usage, file or library error; 3 no adapter;
// 4 the adapter is in use by another program.
#include "console/ConsoleMain.h"
#include "console/ConsoleText.h"
#include "ctl/CtlReport.h"
#include "devicelib/AdapterLock.h"
#include "devicelib/KelvaneLibrary.h"
#include "files/ReadFile.h"
#include "files/WriteFile.h"
#include "powersave/BackupFile.h"
#include "powersave/PowerSaveSelection.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoAdapter = 3;
constexpr int kExitInUse = 4;

constexpr unsigned kDefaultWaitSeconds = 30;
constexpr unsigned kMaxWaitSeconds = 24 * 60 * 60;
// Far more than the largest copy: a file larger than this is no backup.
constexpr std::size_t kMaxBackupFileSize = 1 << 20;

const char* StateName(uint16_t state) {
  return state == 1 ? "on" : state == 0 ? "off" : "unavailable";
}

// The command line after the command word.
struct Options {
  std::vector<std::string> operands;
  std::string backup;
  bool verify = true;
  bool force = false;
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

// A run's context: what was asked and where it reports.
struct Run {
  const Options& options;
  CtlReport& report;
  Detection& found;
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
// existing file is replaced only when forced.
int SaveBackup(const Run& run, const std::string& path) {
  if (const int status = NeedStrategy(run, "nothing saved"))
    return status;
  PowerSaveCopy copy;
  PowerSaveError refused;
  if (!run.found.op->SaveCopy(copy, refused))
    return run.report.Fail(kExitRefused,
                           std::string("cannot take a copy: ") + refused.text + "; nothing saved");
  BackupCopy backup;
  BackupFromCopy(copy, backup);
  backup.firmware = std::string(run.found.Firmware());
  backup.taken = static_cast<int64_t>(std::time(nullptr));
  const std::vector<uint8_t> file = BackupEncode(backup);
  if (file.empty())
    return run.report.Fail(kExitRefused, "the system offers no SHA-256 digest; nothing saved");
  std::string error;
  switch (WriteFileWhole(path, file, run.options.force, error)) {
  case WriteFileResult::Written:
    break;
  case WriteFileResult::Exists:
    return run.report.Fail(kExitUsage, path + ": already exists; --force replaces it");
  case WriteFileResult::Failed:
    return run.report.Fail(kExitUsage, path + ": cannot save the copy: " + error);
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
  return state <= 1 ? kExitDone
                    : run.report.Fail(kExitRefused, "the power-save state cannot be read");
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

// A switch to the state the adapter already has writes nothing and resets
// nothing, unless forced: a flash write and a reset that drops the network
// for no change.
int RunSwitch(const Run& run, uint16_t value) {
  if (const int status = NeedStrategy(run, "nothing written"))
    return status;
  if (!run.options.backup.empty()) {
    if (const int status = SaveBackup(run, run.options.backup))
      return status;
  }
  if (!run.options.force && run.found.op->GetPowerSave() == value) {
    run.report.Say(std::string("power-save: already ") + StateName(value) + "; nothing written",
                   "written", JsonBool(false));
    run.report.Member("power_save", JsonText(StateName(value)));
    return kExitDone;
  }
  const bool done = run.found.op->SetPowerSave(value);
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
  return SaveBackup(run, run.options.operands[0]);
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
                               (*refused.text != '\0' ? std::string(": ") + refused.text : ""));
  if (same < written)
    return run.report.Fail(kExitRefused,
                           "verify: the adapter hands back other bytes than were written, from "
                           "byte " +
                               std::to_string(same));
  run.report.Line("verified: " + std::to_string(written) + " bytes");
  return kExitDone;
}

int RunRestore(const Run& run) {
  const std::string& path = run.options.operands[0];
  std::vector<uint8_t> file;
  std::string error;
  if (!ReadFileUpTo(path, kMaxBackupFileSize, file, error))
    return run.report.Fail(kExitUsage, path + ": " + error);
  BackupCopy backup;
  if (!BackupDecode(file.data(), file.size(), backup, error))
    return run.report.Fail(kExitRefused, path + ": " + error + "; nothing written");
  PowerSaveCopy copy;
  if (!BackupToCopy(backup, copy))
    return run.report.Fail(kExitRefused,
                           path + ": holds more than any adapter takes; nothing written");
  if (const int status = NeedStrategy(run, "nothing written"))
    return status;
  uint32_t written = 0;
  PowerSaveError refused;
  if (!run.found.op->RestoreCopy(copy, run.found.Firmware(), run.options.force, written, refused))
    return run.report.Fail(kExitRefused, path + ": " + refused.text);
  run.report.Say("restored: " + path + " (" + std::to_string(written) + " bytes written)",
                 "restored", JsonText(path));
  run.report.Member("bytes", JsonNumber(written));
  return run.options.verify ? VerifyCopy(run, copy, written) : kExitDone;
}

// What each command takes after its word.
struct Command {
  const char* name;
  const char* operand; // null: none
  // Options it accepts besides --json and --wait, by name, space-separated.
  const char* options;
  const char* usage;
  int (*run)(const Run& run);
};

const Command kCommands[] = {
    {"status", nullptr, "", "", RunStatus},
    {"on", nullptr, "backup force verify no-verify", "[--backup FILE] [--force] [--no-verify]",
     RunOn},
    {"off", nullptr, "backup force verify no-verify", "[--backup FILE] [--force] [--no-verify]",
     RunOff},
    {"backup", "FILE", "force", "[--force]", RunBackup},
    {"restore", "FILE", "force verify no-verify", "[--force] [--no-verify]", RunRestore},
};

std::string UsageText() {
  std::string text;
  for (const Command& command : kCommands) {
    text += std::string(&command == kCommands ? "usage: " : "       ") + "ostrelctl " +
            command.name + (command.operand != nullptr ? std::string(" ") + command.operand : "") +
            (*command.usage != '\0' ? std::string(" ") + command.usage : "") +
            " [--json] [--wait SECONDS]\n";
  }
  return text + "       ostrelctl help | --help | -h | /?\n       ostrelctl --version\n";
}

// A usage error: the word that is wrong, then the usage, on standard error;
// with --json the object names the error too.
int UsageError(CtlReport& report, const std::string& what) {
  report.Fail(kExitUsage, what);
  ConsoleWrite(stderr, UsageText());
  return kExitUsage;
}

bool Accepts(const Command& command, const std::string& option) {
  if (option == "json" || option == "wait")
    return true;
  const std::string list = std::string(" ") + command.options + " ";
  return list.find(" " + option + " ") != std::string::npos;
}

bool ParseSeconds(const std::string& text, unsigned& seconds) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || text[0] < '0' || text[0] > '9' || *end != '\0' || value > kMaxWaitSeconds)
    return false;
  seconds = static_cast<unsigned>(value);
  return true;
}

// Options may stand anywhere after the command; an option that takes a value
// never takes the next option as it. Each may be given once. Returns what is
// wrong, or an empty text.
std::string ParseOptions(const Command& command, const std::vector<std::string>& args,
                         Options& options) {
  std::vector<std::string> seen;
  for (std::size_t i = 2; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word.rfind("--", 0) != 0) {
      options.operands.push_back(word);
      continue;
    }
    const std::string name = word.substr(2);
    if (!Accepts(command, name))
      return "unknown option '" + word + "' for " + command.name;
    for (const std::string& earlier : seen) {
      if (earlier == name)
        return "'" + word + "' is given twice";
    }
    seen.push_back(name);
    const bool takesValue = name == "backup" || name == "wait";
    if (takesValue && (i + 1 == args.size() || args[i + 1].rfind("--", 0) == 0))
      return "'" + word + "' needs a value";
    const std::string value = takesValue ? args[++i] : std::string();
    if (name == "backup")
      options.backup = value;
    else if (name == "wait" && !ParseSeconds(value, options.waitSeconds))
      return "'--wait " + value + "': give whole seconds, at most " +
             std::to_string(kMaxWaitSeconds);
    else if (name == "force")
      options.force = true;
    else if (name == "no-verify")
      options.verify = false;
  }
  for (const std::string& name : seen) {
    // Read-back is the default; asking for it and against it contradicts.
    if (name == "verify" && !options.verify)
      return "'--verify' and '--no-verify' contradict each other";
  }
  const std::size_t wanted = command.operand != nullptr ? 1 : 0;
  if (options.operands.size() > wanted)
    return "unexpected '" + options.operands[wanted] + "'";
  if (options.operands.size() < wanted)
    return std::string(command.name) + " needs " + command.operand;
  return {};
}

int RunCommand(const Command& command, const Options& options, CtlReport& report) {
  const KelvaneLoadResult loaded = KelvaneLoad();
  if (loaded != KelvaneLoadResult::Loaded)
    return report.Fail(kExitUsage, KelvaneLoadResultText(loaded));
  const AdapterLock lock(options.waitSeconds * 1000);
  if (!lock.Held())
    return report.Fail(kExitInUse, "the adapter is in use by another program");
  Detection found;
  found.family = SelectPowerSaveOp(found.op, &found.detected);
  if (found.family != kFamilyQca && found.family != kFamilyBroadcom)
    return report.Fail(kExitNoAdapter, "no adapter found");
  return command.run({options, report, found});
}

} // namespace

int Main(const std::vector<std::string>& args) {
  const std::string word = args.size() > 1 ? args[1] : std::string();
  if (word == "help" || word == "--help" || word == "-h" || word == "/?") {
    ConsoleWrite(stdout, UsageText());
    return kExitDone;
  }
  if (word == "--version") {
    ConsoleWrite(stdout, "ostrelctl " OSTREL_VERSION "\n");
    return kExitDone;
  }
  bool json = false;
  for (std::size_t i = 2; i < args.size(); ++i)
    json = json || args[i] == "--json";
  CtlReport report(json);
  const Command* command = nullptr;
  for (const Command& candidate : kCommands) {
    if (word == candidate.name)
      command = &candidate;
  }
  Options options;
  std::string wrong = word.empty()         ? "no command given"
                      : command == nullptr ? "unknown command '" + word + "'"
                                           : ParseOptions(*command, args, options);
  const int status =
      wrong.empty() ? RunCommand(*command, options, report) : UsageError(report, wrong);
  report.Finish();
  return status;
}
