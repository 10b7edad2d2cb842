#include "powersave/PowerSaveSelection.h"

#include "devicelib/KelvaneCalls.h"
#include "powersave/CPowerSave74201D3Op.h"
#include "powersave/CPowerSave74201D4Op.h"
#include "powersave/CPowerSave7500Op.h"
#include "powersave/CPowerSaveBCMCMMOp.h"

#include <new>

namespace {

// Destroys the held object first, then holds the new one; a failed creation
// leaves the slot empty.
template <typename Op> void Replace(PowerSaveSlot& slot) {
  slot.reset();
  slot.reset(new (std::nothrow) Op());
}

bool FirmwareContains(const DeviceRecord& record, const char* part) {
  return record.Firmware().find(part) != std::string_view::npos;
}

} // namespace

uint8_t SelectPowerSaveOp(PowerSaveSlot& slot, DeviceRecord* record) {
  const auto family = static_cast<uint8_t>(KelvaneGetPLCType());
  if (family == kFamilyQca)
    SelectQcaPowerSaveOp(slot, record);
  else if (family == kFamilyBroadcom)
    Replace<CPowerSaveBCMCMMOp>(slot);
  return family;
}

void SelectQcaPowerSaveOp(PowerSaveSlot& slot, DeviceRecord* filled) {
  DeviceRecord record = {};
  if (KelvaneGetLocalDevInfo(record) == 0)
    return;
  if (filled != nullptr)
    *filled = record;
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
