// ostrelctl: the power-save switch from the command line, with backup,
// restore and verify, for people who look after several computers. It goes
// through the same binding, selection, strategies and image code as
// Ostrel.exe and has no way of its own to reach the adapter.
//
// Exit status: 0 done; 1 the adapter or the image refused, or the state
// differs or cannot be read; 2 usage, file or missing library; 3 no adapter.
#include "devicelib/KelvaneCalls.h"
#include "devicelib/KelvaneLibrary.h"
#include "files/ReadFile.h"
#include "files/WriteFile.h"
#include "powersave/CPowerSaveBCMCMMOp.h"
#include "powersave/PowerSaveEdit.h"
#include "powersave/PowerSaveSelection.h"
#include "powersave/PowerSaveVariant.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoAdapter = 3;

int Fail(int status, const std::string& what) {
  std::fflush(stdout); // keeps the lines in order where both streams meet
  std::fprintf(stderr, "ostrelctl: %s\n", what.c_str());
  return status;
}

const char* StateName(uint16_t state) {
  return state == 1 ? "on" : state == 0 ? "off" : "unavailable";
}

// One detection: the family, the firmware text the selection went by, and the
// strategy it chose, if any.
struct Detection {
  uint8_t family = 0;
  DeviceRecord record = {};
  PowerSaveSlot op;
  const PowerSaveVariant* variant = nullptr;
};

int Detect(Detection& found) {
  if (!KelvaneLoad())
    return Fail(kExitUsage,
                "cannot load Kelvane.dll from the program's folder or the system folder");
  found.family = SelectPowerSaveOp(found.op, &found.record);
  if (found.family != kFamilyQca && found.family != kFamilyBroadcom)
    return Fail(kExitNoAdapter, "no adapter found");
  found.variant = PowerSaveVariantOf(found.op.get());
  return kExitDone;
}

// What a saved copy holds: the image, as large as the layout's buffer, or the
// whole parameter-41 reply.
std::size_t CopySize(const PowerSaveVariant& variant) {
  return variant.view != nullptr ? variant.view->Layout().imageCapacity : BrcmParamReply::kSize;
}

int FetchCopy(const Detection& found, std::vector<uint8_t>& copy) {
  if (found.variant == nullptr)
    return Fail(kExitRefused, "no strategy serves this adapter's firmware");
  if (found.variant->view == nullptr) {
    BrcmParamReply reply = {};
    if (KelvaneBrcmGetParam(reply, kBrcmPowerSaveParam) == 0)
      return Fail(kExitRefused, "the adapter did not hand over parameter 41");
    copy.assign(reply.bytes, reply.bytes + BrcmParamReply::kSize);
    return kExitDone;
  }
  // The library is given no capacity: the buffer takes the largest image.
  copy.assign(kNvmImageBufferSize, 0);
  if (KelvaneGetLocalPIB(copy.data()) == 0)
    return Fail(kExitRefused, "the adapter did not hand over its image");
  copy.resize(CopySize(*found.variant));
  return kExitDone;
}

int SaveCopy(const Detection& found, const char* path, std::vector<uint8_t>& copy) {
  if (const int status = FetchCopy(found, copy))
    return status;
  std::string error;
  if (WriteFileWhole(path, copy, true, error) != WriteFileResult::Written)
    return Fail(kExitUsage, std::string(path) + ": cannot save the copy");
  std::printf("saved: %s (%u bytes)\n", path, static_cast<unsigned>(copy.size()));
  return kExitDone;
}

int RunStatus() {
  Detection found;
  if (const int status = Detect(found))
    return status;
  std::printf("family: %s\n", found.family == kFamilyQca ? "qualcomm-atheros" : "broadcom");
  if (found.family == kFamilyQca) {
    const std::string_view firmware = found.record.Firmware();
    std::printf("firmware: %.*s\n", static_cast<int>(firmware.size()), firmware.data());
  }
  std::printf("strategy: %s\n", found.variant != nullptr ? found.variant->name : "none");
  const uint16_t state = found.op ? found.op->GetPowerSave() : 2;
  std::printf("power-save: %s\n", StateName(state));
  return state <= 1 ? kExitDone : Fail(kExitRefused, "the power-save state cannot be read");
}

// A fresh detection reads the state back, as a later scan would.
int Verify(uint16_t value) {
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

int RunSwitch(uint16_t value, const char* backup, bool verify) {
  Detection found;
  if (const int status = Detect(found))
    return status;
  if (backup != nullptr && found.op) {
    std::vector<uint8_t> copy;
    if (const int status = SaveCopy(found, backup, copy))
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
  return verify ? Verify(value) : kExitDone;
}

int RunBackup(const char* path) {
  Detection found;
  if (const int status = Detect(found))
    return status;
  std::vector<uint8_t> copy;
  if (const int status = SaveCopy(found, path, copy))
    return status;
  const PowerSaveVariant& variant = *found.variant;
  if (variant.view == nullptr)
    return kExitDone;
  std::printf("layout: %s\n", variant.layout);
  PibHandle handle;
  const auto size = static_cast<uint32_t>(copy.size());
  const int code = variant.view->PibOpen(handle, copy.data(), size);
  std::printf("open: %d\n", code);
  if (code != kPibOk)
    return Fail(kExitRefused, std::string(path) + ": saved, but it does not open as a " +
                                  variant.layout + " image: " + PibOpenCodeText(code));
  std::printf("power-save: %s\n",
              StateName(PowerSaveRead(*variant.view, handle, copy.data(), size)));
  return kExitDone;
}

// The checks a strategy makes before it writes: the image opens with the view
// of the adapter's layout; it is then written with its own write length and
// the adapter reset by the strategy's own rule.
int RestoreImage(const PowerSaveVariant& variant, const char* path,
                 const std::vector<uint8_t>& file) {
  std::vector<uint8_t> image(kNvmImageBufferSize, 0);
  std::copy(file.begin(), file.end(), image.begin());
  PibHandle handle;
  const int code = variant.view->PibOpen(handle, image.data(), static_cast<uint32_t>(file.size()));
  if (code != kPibOk)
    return Fail(kExitRefused, std::string(path) + ": does not open as a " + variant.layout +
                                  " image (PibOpen code " + std::to_string(code) + ": " +
                                  PibOpenCodeText(code) + "); nothing written");
  if (!variant.writeBack(image.data(), handle.writeLength))
    return Fail(kExitRefused, "the adapter refused the image, or the reset after it");
  std::printf("restored: %s (%u bytes written)\n", path, static_cast<unsigned>(handle.writeLength));
  return kExitDone;
}

// A parameter-41 reply whose data fits the request, sent as a switch sends it.
int RestoreParam(const char* path, const std::vector<uint8_t>& file) {
  BrcmParamReply reply = {};
  if (file.size() < BrcmParamReply::kDataOffset)
    return Fail(kExitRefused,
                std::string(path) + ": too short for a parameter-41 reply; nothing written");
  std::copy(file.begin(), file.end(), reply.bytes);
  const std::size_t length = reply.DataLength();
  if (length > BrcmParamRequest::kDataCapacity ||
      BrcmParamReply::kDataOffset + length > file.size())
    return Fail(kExitRefused, std::string(path) + ": its data (" + std::to_string(length) +
                                  " bytes) does not fit the file or the request; nothing written");
  if (!CPowerSaveBCMCMMOp::SendParam(reply))
    return Fail(kExitRefused, "the adapter refused parameter 41");
  std::printf("restored: %s\n", path);
  return kExitDone;
}

int RunRestore(const char* path) {
  Detection found;
  if (const int status = Detect(found))
    return status;
  if (found.variant == nullptr)
    return Fail(kExitRefused, "no strategy serves this adapter's firmware; nothing written");
  const std::size_t limit = CopySize(*found.variant);
  std::vector<uint8_t> file;
  std::string error;
  if (!ReadFileUpTo(path, limit, file, error))
    return Fail(kExitUsage, std::string(path) + ": " + error);
  if (file.size() > limit)
    return Fail(kExitRefused, std::string(path) + ": larger than the " + std::to_string(limit) +
                                  " bytes this adapter takes; nothing written");
  return found.variant->view != nullptr ? RestoreImage(*found.variant, path, file)
                                        : RestoreParam(path, file);
}

int Usage() {
  std::fputs("usage: ostrelctl status\n"
             "       ostrelctl on|off [--backup FILE] [--verify]\n"
             "       ostrelctl backup FILE\n"
             "       ostrelctl restore FILE\n",
             stderr);
  return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2)
    return Usage();
  const std::string command = argv[1];
  if (command == "status" && argc == 2)
    return RunStatus();
  if (command == "backup" && argc == 3)
    return RunBackup(argv[2]);
  if (command == "restore" && argc == 3)
    return RunRestore(argv[2]);
  if (command != "on" && command != "off")
    return Usage();
  const char* backup = nullptr;
  bool verify = false;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--verify") == 0 && !verify)
      verify = true;
    else if (std::strcmp(argv[i], "--backup") == 0 && backup == nullptr && i + 1 < argc)
      backup = argv[++i];
    else
      return Usage();
  }
  return RunSwitch(command == "on" ? 1 : 0, backup, verify);
}
