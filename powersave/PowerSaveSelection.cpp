#include "powersave/PowerSaveSelection.h"

#include "devicelib/KelvaneEntryPoints.h"
#include "powersave/CPowerSave74201D3Op.h"
#include "powersave/CPowerSave74201D4Op.h"
#include "powersave/CPowerSave7500Op.h"
#include "powersave/CPowerSaveBCMCMMOp.h"

#include <cstring>
#include <new>

namespace {

// Destroys the held object first, then holds the new one; a failed creation
// leaves the slot empty.
template <typename Op> void Replace(PowerSaveSlot& slot) {
  slot.reset();
  slot.reset(new (std::nothrow) Op());
}

// Whether `part` occurs in the firmware text, which runs from byte 105 to the
// first NUL or to the record's end, whichever comes first.
bool FirmwareContains(const unsigned char (&record)[kDeviceRecordSize], const char* part) {
  const char* text = reinterpret_cast<const char*>(record + kDeviceRecordFirmwareOffset);
  const std::size_t room = kDeviceRecordSize - kDeviceRecordFirmwareOffset;
  const void* nul = std::memchr(text, '\0', room);
  const std::size_t length = nul != nullptr ? static_cast<const char*>(nul) - text : room;
  const std::size_t partLength = std::strlen(part);
  for (std::size_t at = 0; at + partLength <= length; ++at)
    if (std::memcmp(text + at, part, partLength) == 0)
      return true;
  return false;
}

} // namespace

uint8_t SelectPowerSaveOp(PowerSaveSlot& slot) {
  const uint8_t family =
      g_kelvane.GetPLCType != nullptr ? static_cast<uint8_t>(g_kelvane.GetPLCType()) : 0;
  if (family == kFamilyQca)
    SelectQcaPowerSaveOp(slot);
  else if (family == kFamilyBroadcom)
    Replace<CPowerSaveBCMCMMOp>(slot);
  return family;
}

void SelectQcaPowerSaveOp(PowerSaveSlot& slot) {
  unsigned char record[kDeviceRecordSize] = {};
  if (g_kelvane.GetLocalDevInfo == nullptr || g_kelvane.GetLocalDevInfo(record) == 0)
    return;
  if (FirmwareContains(record, "7500")) {
    Replace<CPowerSave7500Op>(slot);
  } else if (FirmwareContains(record, "7420")) {
    if (FirmwareContains(record, "1.0."))
      Replace<CPowerSave74201D3Op>(slot);
    else if (FirmwareContains(record, "1.1."))
      Replace<CPowerSave74201D4Op>(slot);
    else
      slot.reset();
  }
}
