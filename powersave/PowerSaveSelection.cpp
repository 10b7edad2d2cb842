#include "powersave/PowerSaveSelection.h"

namespace {

// Destroys the held object first, then holds the new one; a failed creation
// leaves the slot empty.
void Replace(PowerSaveSlot& slot, const PowerSaveVariant& variant, DeviceCalls& device) {
  slot.reset();
  slot.reset(variant.make(device));
}

bool FirmwareContains(const DeviceRecord& record, const char* part) {
  return record.Firmware().find(part) != std::string_view::npos;
}

} // namespace

std::optional<AdapterFamily> SelectPowerSaveOp(DeviceCalls& device, PowerSaveSlot& slot,
                                               PowerSaveDetection* detection) {
  const std::optional<AdapterFamily> family = AdapterFamilyOf(device.GetPLCType());
  if (family == AdapterFamily::QualcommAtheros)
    SelectQcaPowerSaveOp(device, slot, detection);
  else if (family == AdapterFamily::Broadcom)
    Replace(slot, kPowerSaveBroadcom, device);
  return family;
}

void SelectQcaPowerSaveOp(DeviceCalls& device, PowerSaveSlot& slot, PowerSaveDetection* detection) {
  DeviceRecord record = {};
  if (device.GetLocalDevInfo(record) == 0)
    return;
  if (detection != nullptr) {
    detection->recordRead = true;
    detection->record = record;
  }
  bool chipNamed = false;
  for (const PowerSaveVariant* variant : kPowerSaveVariants) {
    if (variant->family != AdapterFamily::QualcommAtheros ||
        !FirmwareContains(record, variant->chip))
      continue;
    chipNamed = true;
    if (variant->firmware == nullptr || FirmwareContains(record, variant->firmware)) {
      Replace(slot, *variant, device);
      return;
    }
  }
  if (chipNamed)
    slot.reset();
}
