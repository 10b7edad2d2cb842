// ostrelctl: the power-save switch from the command line, with backup,
// restore and read-back, for people who look after several computers. It
// reaches the adapter only through the selection and the strategies, as
// Ostrel.exe does, and holds the computer-wide adapter lock for the whole run.
//
// Exit status: 0 done; 1 the adapter or the copy refused, or the read-back
// differs or cannot be read; 2 usage, file or missing library; 3 no adapter;
// 4 the adapter is in use by another program.
#include "devicelib/AdapterLock.h"
#include "devicelib/KelvaneLibrary.h"
#include "files/ReadFile.h"
#include "files/WriteFile.h"
#include "powersave/BackupFile.h"
#include "powersave/PowerSaveSelection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

int Fail(int status, const std::string& what) {
  std::fflush(stdout); // keeps the lines in order where both streams meet
  std::fprintf(stderr, "ostrelctl: %s\n", what.c_str());
  return status;
}

const char* StateName(uint16_t state) {
  return state == 1 ? "on" : state == 0 ? "off" : "unavailable";
}

// The command line after the command word.
struct Options {
  std::vector<const char*> operands;
  const char* backup = nullptr;
  bool verify = true;
  bool force = false;
  unsigned waitSeconds = kDefaultWaitSeconds;
};

// One detection: the family, the firmware text the selection went by, and the
// strategy it chose, if any.
struct Detection {
  uint8_t family = 0;
  DeviceRecord record = {};
  PowerSaveSlot op;
};

int Detect(Detection& found) {
  found.family = SelectPowerSaveOp(found.op, &found.record);
  if (found.family != kFamilyQca && found.family != kFamilyBroadcom)
    return Fail(kExitNoAdapter, "no adapter found");
  return kExitDone;
}

std::string AddressText(const uint8_t* address) {
  char text[18];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", address[0], address[1],
                address[2], address[3], address[4], address[5]);
  return text;
}

// Takes the adapter's copy, checks it, and saves it as a backup file; an
// existing file is replaced only when forced.
int SaveBackup(const Detection& found, const char* path, bool force) {
  if (!found.op)
    return Fail(kExitRefused, "no strategy serves this adapter's firmware; nothing saved");
  BackupCopy copy;
  std::string error;
  if (!found.op->SaveCopy(copy, error))
    return Fail(kExitRefused, "cannot take a copy: " + error + "; nothing saved");
  copy.firmware = std::string(found.record.Firmware());
  copy.taken = static_cast<int64_t>(std::time(nullptr));
  const std::vector<uint8_t> file = BackupEncode(copy);
  if (file.empty())
    return Fail(kExitRefused, "the system offers no SHA-256 digest; nothing saved");
  switch (WriteFileWhole(path, file, force, error)) {
  case WriteFileResult::Written:
    break;
  case WriteFileResult::Exists:
    return Fail(kExitUsage, std::string(path) + ": already exists; --force replaces it");
  case WriteFileResult::Failed:
    return Fail(kExitUsage, std::string(path) + ": cannot save the copy: " + error);
  }
  std::printf("saved: %s (%u bytes)\n", path, static_cast<unsigned>(file.size()));
  if (copy.kind == BackupKind::NvmImage) {
    std::printf("layout: %s\n", copy.layout.c_str());
    std::printf("address: %s\n", AddressText(copy.address).c_str());
  }
  return kExitDone;
}

int RunStatus(Detection& found, const Options&) {
  std::printf("family: %s\n", found.family == kFamilyQca ? "qualcomm-atheros" : "broadcom");
  if (found.family == kFamilyQca) {
    const std::string_view firmware = found.record.Firmware();
    std::printf("firmware: %.*s\n", static_cast<int>(firmware.size()), firmware.data());
  }
  std::printf("strategy: %s\n", found.op ? found.op->Variant().name : "none");
  const uint16_t state = found.op ? found.op->GetPowerSave() : 2;
  std::printf("power-save: %s\n", StateName(state));
  return state <= 1 ? kExitDone : Fail(kExitRefused, "the power-save state cannot be read");
}

// A fresh detection reads the state back, as a later scan would.
int VerifyState(uint16_t value) {
  PowerSaveSlot fresh;
  SelectPowerSaveOp(fresh);
  const uint16_t state = fresh ? fresh->GetPowerSave() : 2;
  if (state > 1)
    return Fail(kExitRefused, "verify: the power-save state cannot be read back");
  std::printf("verified: %s\n", StateName(state));
  if (state != value)
    return Fail(kExitRefused,
                std::string("verify: the adapter reads ") + StateName(state) + " after the write");
  return kExitDone;
}

int RunSwitch(Detection& found, const Options& options, uint16_t value) {
  if (options.backup != nullptr) {
    if (const int status = SaveBackup(found, options.backup, options.force))
      return status;
  }
  const bool done = found.op && found.op->SetPowerSave(value);
  const char* setting = value == 1 ? "Enable" : "Disable";
  if (!done) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s device power save fail!\n", setting);
    return kExitRefused;
  }
  std::printf("%s device power save success!\n", setting);
  return options.verify ? VerifyState(value) : kExitDone;
}

int RunOn(Detection& found, const Options& options) {
  return RunSwitch(found, options, 1);
}

int RunOff(Detection& found, const Options& options) {
  return RunSwitch(found, options, 0);
}

int RunBackup(Detection& found, const Options& options) {
  return SaveBackup(found, options.operands[0], options.force);
}

// A fresh detection fetches the adapter's copy again; what was written must
// come back byte for byte.
int VerifyCopy(const std::vector<uint8_t>& written) {
  PowerSaveSlot fresh;
  SelectPowerSaveOp(fresh);
  BackupCopy now;
  std::string error;
  if (!fresh || !fresh->SaveCopy(now, error))
    return Fail(kExitRefused, "verify: the adapter's copy cannot be read back" +
                                  (error.empty() ? std::string() : ": " + error));
  std::size_t same = 0;
  while (same < written.size() && same < now.bytes.size() && now.bytes[same] == written[same])
    ++same;
  if (same < written.size())
    return Fail(kExitRefused, "verify: the adapter hands back other bytes than were written, from "
                              "byte " +
                                  std::to_string(same));
  std::printf("verified: %u bytes\n", static_cast<unsigned>(written.size()));
  return kExitDone;
}

int RunRestore(Detection& found, const Options& options) {
  const char* path = options.operands[0];
  std::vector<uint8_t> file;
  std::string error;
  if (!ReadFileUpTo(path, kMaxBackupFileSize, file, error))
    return Fail(kExitUsage, std::string(path) + ": " + error);
  BackupCopy copy;
  if (!BackupDecode(file.data(), file.size(), copy, error))
    return Fail(kExitRefused, std::string(path) + ": " + error + "; nothing written");
  if (!found.op)
    return Fail(kExitRefused, "no strategy serves this adapter's firmware; nothing written");
  std::vector<uint8_t> written;
  if (!found.op->RestoreCopy(copy, found.record.Firmware(), options.force, written, error))
    return Fail(kExitRefused, std::string(path) + ": " + error);
  std::printf("restored: %s (%u bytes written)\n", path, static_cast<unsigned>(written.size()));
  return options.verify ? VerifyCopy(written) : kExitDone;
}

// What each command takes after its word.
struct Command {
  const char* name;
  std::size_t operandCount;
  const char* usage;
  // Options it accepts, by name without the dashes.
  const char* options;
  int (*run)(Detection& found, const Options& options);
};

const Command kCommands[] = {
    {"status", 0, "status [--wait SECONDS]", "wait", RunStatus},
    {"on", 0, "on [--backup FILE] [--force] [--no-verify] [--wait SECONDS]",
     "backup force verify no-verify wait", RunOn},
    {"off", 0, "off [--backup FILE] [--force] [--no-verify] [--wait SECONDS]",
     "backup force verify no-verify wait", RunOff},
    {"backup", 1, "backup FILE [--force] [--wait SECONDS]", "force wait", RunBackup},
    {"restore", 1, "restore FILE [--force] [--no-verify] [--wait SECONDS]",
     "force verify no-verify wait", RunRestore},
};

int Usage() {
  for (const Command& command : kCommands)
    std::fprintf(stderr, "%s ostrelctl %s\n", &command == kCommands ? "usage:" : "      ",
                 command.usage);
  return kExitUsage;
}

bool Accepts(const Command& command, const char* option) {
  const std::string list = std::string(" ") + command.options + " ";
  return list.find(std::string(" ") + option + " ") != std::string::npos;
}

bool ParseSeconds(const char* text, unsigned& seconds) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (*text < '0' || *text > '9' || *end != '\0' || value > kMaxWaitSeconds)
    return false;
  seconds = static_cast<unsigned>(value);
  return true;
}

// Options may stand anywhere after the command; an option that takes a value
// never takes the next option as it. Each may be given once.
bool ParseOptions(const Command& command, int argc, char** argv, Options& options) {
  std::string seen;
  for (int i = 2; i < argc; ++i) {
    const char* word = argv[i];
    if (std::strncmp(word, "--", 2) != 0) {
      options.operands.push_back(word);
      continue;
    }
    const char* name = word + 2;
    if (!Accepts(command, name) || seen.find(std::string(" ") + name + " ") != std::string::npos)
      return false;
    seen += std::string(" ") + name + " ";
    const bool takesValue = std::strcmp(name, "backup") == 0 || std::strcmp(name, "wait") == 0;
    const char* value = takesValue && i + 1 < argc ? argv[i + 1] : nullptr;
    if (takesValue && (value == nullptr || std::strncmp(value, "--", 2) == 0))
      return false;
    if (takesValue)
      ++i;
    if (std::strcmp(name, "backup") == 0)
      options.backup = value;
    else if (std::strcmp(name, "wait") == 0 && !ParseSeconds(value, options.waitSeconds))
      return false;
    else if (std::strcmp(name, "force") == 0)
      options.force = true;
    else if (std::strcmp(name, "no-verify") == 0)
      options.verify = false;
  }
  // --verify is the default; asking for both is a contradiction.
  if (seen.find(" verify ") != std::string::npos && !options.verify)
    return false;
  return options.operands.size() == command.operandCount;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2)
    return Usage();
  const Command* command = nullptr;
  for (const Command& candidate : kCommands) {
    if (std::strcmp(argv[1], candidate.name) == 0)
      command = &candidate;
  }
  Options options;
  if (command == nullptr || !ParseOptions(*command, argc, argv, options))
    return Usage();
  if (!KelvaneLoad())
    return Fail(kExitUsage,
                "cannot load Kelvane.dll from the program's folder or the system folder");
  const AdapterLock lock(options.waitSeconds * 1000);
  if (!lock.Held())
    return Fail(kExitInUse, "the adapter is in use by another program");
  Detection found;
  if (const int status = Detect(found))
    return status;
  return command->run(found, options);
}
