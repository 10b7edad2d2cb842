// pibtool: opens NVM images kept on disk, bare or inside an ostrelctl backup
// file, through the same PIB views the program uses, so an image can be
// checked before it goes near an adapter.
// Exit status: 0 success, 1 image rejected, 2 usage or file error.
#include <cstdio>
#include <string>
#include <vector>

#include "backup/BackupFile.h"
#include "console/CommandLine.h"
#include "console/ConsoleMain.h"
#include "console/ConsoleText.h"
#include "files/ReadFile.h"
#include "files/WriteFile.h"
#include "powersave/PowerSaveEdit.h"
#include "powersave/PowerSaveVariant.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRejected = 1;
constexpr int kExitUsage = kConsoleUsageError;

// Far more than any image or backup file.
constexpr std::size_t kMaxFileSize = 2 * kBackupMaxCopy;

const CommandTable kCommandLine = {
    "pibtool",
    {{"open", "FILE", 1}, {"get", "FILE", 1}, {"set", "on|off FILE", 2}},
    {{"layout", "LAYOUT", nullptr, true}}};

// A command line's file, and the image read from it with the variant of its
// layout; `backup` keeps a backup file's other fields.
struct Image {
  const PowerSaveVariant* variant = nullptr;
  std::vector<uint8_t> bytes;
  BackupCopy backup;
  bool inBackup = false;

  const CPibView& View() const { return *variant->view; }
  const char* LayoutName() const { return variant->Layout(); }
  uint32_t Capacity() const { return static_cast<uint32_t>(bytes.size()); }
};

int Fail(int status, const std::string& file, const std::string& what) {
  ConsoleWriteLine(stderr, "pibtool: " + file + ": " + what);
  return status;
}

// Reads the file, which holds exactly one image buffer of the layout, bare or
// as the copy of a backup file. A backup file names its layout, so `layout`
// may be empty for one; when given, it must be the file's.
int Load(const std::string& file, const std::string& layout, Image& image) {
  if (!layout.empty() && PowerSaveVariantForLayout(layout.c_str()) == nullptr) {
    ConsoleWrite(stderr, "pibtool: unknown layout '" + layout + "' (7420-1.3, 7420-1.4 or 7500)\n");
    return kExitUsage;
  }
  std::string error;
  if (!ReadFileUpTo(file, kMaxFileSize, image.bytes, error))
    return Fail(kExitUsage, file, error);
  if (image.bytes.size() > kMaxFileSize)
    return Fail(kExitUsage, file,
                "the file is too large: over " + std::to_string(kMaxFileSize) +
                    " bytes, more than any image or backup file");
  std::string name = layout;
  image.inBackup = BackupIsFile(image.bytes.data(), image.bytes.size());
  if (image.inBackup) {
    Fault fault;
    if (!BackupDecode(image.bytes.data(), image.bytes.size(), image.backup, &fault))
      return Fail(kExitRejected, file, fault.text);
    const std::string saved =
        image.backup.kind == BackupKind::NvmImage ? image.backup.layout : "parameter 41";
    if (image.backup.kind != BackupKind::NvmImage || (!layout.empty() && saved != layout))
      return Fail(kExitRejected, file,
                  "a backup of a " + saved + ", not of a " + (layout.empty() ? "NVM" : layout) +
                      " image");
    name = saved;
    image.bytes = image.backup.bytes;
  } else if (layout.empty()) {
    return Fail(kExitUsage, file, "a bare image needs --layout LAYOUT");
  }
  image.variant = PowerSaveVariantForLayout(name.c_str());
  if (image.variant == nullptr)
    return Fail(kExitRejected, file, "a backup of an unknown layout '" + name + "'");
  const uint32_t capacity = image.View().Layout().imageCapacity;
  if (image.bytes.size() != capacity)
    return Fail(kExitRejected, file,
                std::string(image.inBackup ? "the copy" : "the file") + " is " +
                    std::to_string(image.bytes.size()) + " bytes; a " + name + " image is " +
                    std::to_string(capacity) + " bytes");
  return kExitOk;
}

// open prints the handle; get prints the state by the rule the strategies
// apply: any non-zero mode word means on.
int RunOpenOrGet(const CommandLine& line, bool get) {
  const std::string& file = line.operands[0];
  Image image;
  if (const int status = Load(file, line.Value("layout"), image))
    return status;
  PibHandle handle;
  Fault fault;
  const int code = image.View().PibOpen(handle, image.bytes.data(), image.Capacity(), &fault);
  if (code != kPibOk) {
    char what[256];
    std::snprintf(what, sizeof what, "rejected by the %s view (PibOpen code %d: %s)",
                  image.LayoutName(), code, fault.text);
    return Fail(kExitRejected, file, what);
  }
  if (get) {
    uint16_t mode = 0;
    image.View().PibGetPowerSaveMode(handle, mode);
    ConsoleWrite(stdout, mode != 0 ? "on\n" : "off\n");
    return kExitOk;
  }
  ConsolePrintf(stdout, "open: %d\n", kPibOk);
  ConsolePrintf(stdout, "layout: %s\n", image.LayoutName());
  ConsolePrintf(stdout, "version: %u.%u\n", handle.versionMajor, handle.versionMinor);
  ConsolePrintf(stdout, "pib length: %u\n", handle.pibLength);
  ConsolePrintf(stdout, "write length: %u\n", handle.writeLength);
  ConsolePrintf(stdout, "pib checksum: 0x%08X\n", static_cast<unsigned>(handle.pibChecksum));
  return kExitOk;
}

// Applies the strategies' edit, renews the checksums, checks that the result
// opens again, and only then replaces the file.
int RunSet(const CommandLine& line) {
  const std::string& state = line.operands[0];
  const std::string& file = line.operands[1];
  if (state != "on" && state != "off")
    return Fail(kExitUsage, file, "the state must be on or off, not '" + state + "'");
  Image image;
  if (const int status = Load(file, line.Value("layout"), image))
    return status;
  PibHandle handle;
  const uint16_t value = state == "on" ? 1 : 0;
  if (!image.variant->edit(handle, image.bytes.data(), image.Capacity(), value))
    return Fail(kExitRejected, file, "rejected: the image was left unchanged");
  // A backup file stays one, with the edited image and a fresh digest.
  std::vector<uint8_t> bytes = image.bytes;
  if (image.inBackup) {
    image.backup.bytes = image.bytes;
    bytes = BackupEncode(image.backup);
  }
  std::string error;
  if (bytes.empty() || WriteFileWhole(file, bytes, true, error) != WriteFileResult::Written)
    return Fail(kExitUsage, file, "cannot replace the file: " + error);
  const uint16_t now = PowerSaveRead(image.View(), handle, image.bytes.data(), image.Capacity());
  ConsoleWrite(stdout, now == 1 ? "on\n" : "off\n");
  return kExitOk;
}

std::string UsageText() {
  return CommandUsage(kCommandLine) +
         "LAYOUT is 7420-1.3, 7420-1.4 or 7500; a backup file names its own.\n";
}

} // namespace

const char kConsoleProgram[] = "pibtool";

int Main(const std::vector<std::string>& args) {
  if (AnswerHelpOrVersion(args, UsageText()))
    return kExitOk;
  CommandLine line;
  const std::string wrong = ParseCommandLine(kCommandLine, args, line);
  if (!wrong.empty()) {
    ConsoleWrite(stderr, "pibtool: " + wrong + "\n" + UsageText());
    return kExitUsage;
  }
  const std::string command = line.command->name;
  return command == "set" ? RunSet(line) : RunOpenOrGet(line, command == "get");
}
