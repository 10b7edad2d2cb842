// pibtool: opens NVM images kept on disk, bare or inside an ostrelctl backup
// file, through the same PIB views the program uses, so an image can be
// checked before it goes near an adapter.
// Exit status: 0 success, 1 image rejected, 2 usage or file error.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console/ConsoleMain.h"
#include "console/ConsoleText.h"
#include "files/ReadFile.h"
#include "files/WriteFile.h"
#include "powersave/BackupFile.h"
#include "powersave/PowerSaveEdit.h"
#include "powersave/PowerSaveVariant.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRejected = 1;
constexpr int kExitUsage = 2;

// A parsed command line: the layout's variant and the operands after it.
struct Invocation {
  const PowerSaveVariant* variant;
  std::vector<const char*> operands;
  const char* File() const { return operands.back(); }
  const CPibView& View() const { return *variant->view; }
  const char* LayoutName() const { return variant->Layout(); }
};

struct Command {
  const char* name;
  const char* operands;
  size_t operandCount;
  int (*run)(const Invocation&);
};

int Fail(int status, const char* file, const char* what) {
  ConsolePrintf(stderr, "pibtool: %s: %s\n", file, what);
  return status;
}

// Reads FILE, which must hold exactly one image buffer of the layout, bare or
// as the copy of a backup file; `backup` keeps the file's other fields.
int Load(const Invocation& call, std::vector<uint8_t>& image, BackupCopy* backup = nullptr) {
  const uint32_t capacity = call.View().Layout().imageCapacity;
  std::string error;
  if (!ReadFileUpTo(call.File(), kBackupMaxCopy * 2, image, error)) {
    return Fail(kExitUsage, call.File(), error.c_str());
  }
  if (BackupIsFile(image.data(), image.size())) {
    BackupCopy copy;
    if (!BackupDecode(image.data(), image.size(), copy, error)) {
      return Fail(kExitRejected, call.File(), error.c_str());
    }
    if (copy.kind != BackupKind::NvmImage || copy.layout != call.LayoutName()) {
      const std::string what = "a backup of a " +
                               (copy.layout.empty() ? BackupKindName(copy.kind) : copy.layout) +
                               ", not of a " + call.LayoutName() + " image";
      return Fail(kExitRejected, call.File(), what.c_str());
    }
    image = copy.bytes;
    if (backup != nullptr) {
      *backup = copy;
    }
  }
  if (image.size() != capacity) {
    char what[128];
    std::snprintf(what, sizeof what, "file too %s: a %s image is exactly %u bytes",
                  image.size() > capacity ? "large" : "small", call.LayoutName(),
                  static_cast<unsigned>(capacity));
    return Fail(kExitUsage, call.File(), what);
  }
  return kExitOk;
}

int Open(const Invocation& call, std::vector<uint8_t>& image, PibHandle& handle, int& code) {
  if (const int status = Load(call, image)) {
    return status;
  }
  code = call.View().PibOpen(handle, image.data(), static_cast<uint32_t>(image.size()));
  if (code != kPibOk) {
    char what[192];
    std::snprintf(what, sizeof what, "rejected by the %s view (PibOpen code %d: %s)",
                  call.LayoutName(), code, PibOpenCodeText(code));
    return Fail(kExitRejected, call.File(), what);
  }
  return kExitOk;
}

int RunOpen(const Invocation& call) {
  std::vector<uint8_t> image;
  PibHandle handle;
  int code = kPibOk;
  const int status = Open(call, image, handle, code);
  if (status == kExitUsage) {
    return status;
  }
  ConsolePrintf(stdout, "open: %d\n", code);
  if (status == kExitOk) {
    ConsolePrintf(stdout, "version: %u.%u\n", handle.versionMajor, handle.versionMinor);
    ConsolePrintf(stdout, "pib length: %u\n", handle.pibLength);
    ConsolePrintf(stdout, "write length: %u\n", handle.writeLength);
    ConsolePrintf(stdout, "pib checksum: 0x%08X\n", static_cast<unsigned>(handle.pibChecksum));
  }
  return status;
}

// The rule the strategies apply: any non-zero mode word means on.
int RunGet(const Invocation& call) {
  std::vector<uint8_t> image;
  PibHandle handle;
  int code = kPibOk;
  if (const int status = Open(call, image, handle, code)) {
    return status;
  }
  uint16_t mode = 0;
  call.View().PibGetPowerSaveMode(handle, mode);
  ConsoleWrite(stdout, mode != 0 ? "on\n" : "off\n");
  return kExitOk;
}

// Applies the strategies' edit, renews the checksums, checks that the result
// opens again, and only then replaces the file.
int RunSet(const Invocation& call) {
  const char* state = call.operands[0];
  if (std::strcmp(state, "on") != 0 && std::strcmp(state, "off") != 0) {
    return Fail(kExitUsage, call.File(), "the state must be on or off");
  }
  std::vector<uint8_t> image;
  BackupCopy backup;
  if (const int status = Load(call, image, &backup)) {
    return status;
  }
  const auto capacity = static_cast<uint32_t>(image.size());
  PibHandle handle;
  const uint16_t value = std::strcmp(state, "on") == 0 ? 1 : 0;
  if (!call.variant->edit(handle, image.data(), capacity, value)) {
    return Fail(kExitRejected, call.File(), "rejected: the image was left unchanged");
  }
  // A backup file stays one, with the edited image and a fresh digest.
  std::vector<uint8_t> file = image;
  if (!backup.bytes.empty()) {
    backup.bytes = image;
    file = BackupEncode(backup);
  }
  std::string error;
  if (file.empty() || WriteFileWhole(call.File(), file, true, error) != WriteFileResult::Written) {
    return Fail(kExitUsage, call.File(), ("cannot replace the file: " + error).c_str());
  }
  const uint16_t now = PowerSaveRead(call.View(), handle, image.data(), capacity);
  ConsoleWrite(stdout, now == 1 ? "on\n" : "off\n");
  return kExitOk;
}

const Command kCommands[] = {
    {"open", "FILE", 1, RunOpen},
    {"get", "FILE", 1, RunGet},
    {"set", "on|off FILE", 2, RunSet},
};

int Usage() {
  for (const Command& command : kCommands) {
    ConsolePrintf(stderr, "usage: pibtool %s --layout 7420-1.3|7420-1.4|7500 %s\n", command.name,
                  command.operands);
  }
  return kExitUsage;
}

} // namespace

int Main(const std::vector<std::string>& args) {
  if (args.size() < 4 || args[2] != "--layout") {
    return Usage();
  }
  for (const Command& command : kCommands) {
    if (args[1] != command.name) {
      continue;
    }
    const char* layoutName = args[3].c_str();
    const PowerSaveVariant* variant = PowerSaveVariantForLayout(layoutName);
    if (variant == nullptr) {
      ConsolePrintf(stderr, "pibtool: unknown layout '%s' (7420-1.3, 7420-1.4 or 7500)\n",
                    layoutName);
      return kExitUsage;
    }
    Invocation call{variant, {}};
    for (std::size_t i = 4; i < args.size(); ++i) {
      call.operands.push_back(args[i].c_str());
    }
    if (call.operands.size() != command.operandCount) {
      return Usage();
    }
    return command.run(call);
  }
  return Usage();
}
