#include "powersave/PowerSaveSelection.h"

#include "devicelib/KelvaneCalls.h"

namespace {

// Destroys the held object first, then holds the new one; a failed creation
// leaves the slot empty.
void Replace(PowerSaveSlot& slot, const PowerSaveVariant& variant) {
  slot.reset();
  slot.reset(variant.make());
}

bool FirmwareContains(const DeviceRecord& record, const char* part) {
  return record.Firmware().find(part) != std::string_view::npos;
}

} // namespace

uint8_t SelectPowerSaveOp(PowerSaveSlot& slot, PowerSaveDetection* detection) {
  const auto family = static_cast<uint8_t>(KelvaneGetPLCType());
  if (family == kFamilyQca)
    SelectQcaPowerSaveOp(slot, detection);
  else if (family == kFamilyBroadcom)
    Replace(slot, kPowerSaveBroadcom);
  return family;
}

void SelectQcaPowerSaveOp(PowerSaveSlot& slot, PowerSaveDetection* detection) {
  DeviceRecord record = {};
  if (KelvaneGetLocalDevInfo(record) == 0)
    return;
  if (detection != nullptr) {
    detection->recordRead = true;
    detection->record = record;
  }
  bool chipNamed = false;
  for (const PowerSaveVariant* variant : kPowerSaveVariants) {
    if (variant->family != kFamilyQca || !FirmwareContains(record, variant->chip))
      continue;
    chipNamed = true;
    if (variant->firmware == nullptr || FirmwareContains(record, variant->firmware)) {
      Replace(slot, *variant);
      return;
    }
  }
  if (chipNamed)
    slot.reset();
}
