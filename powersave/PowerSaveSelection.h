#pragma once
#include "devicelib/AdapterFamily.h"
#include "devicelib/DeviceCalls.h"
#include "devicelib/DeviceRecord.h"
#include "powersave/CPowerSaveOp.h"
#include "powersave/PowerSaveVariant.h"

#include <cstdint>
#include <memory>
#include <optional>

// What a caller may want to know of the device record the rule went by:
// whether GetLocalDevInfo filled it, and the record. Qualcomm Atheros only.
struct PowerSaveDetection {
  bool recordRead = false;
  DeviceRecord record = {};
};

// The slot that owns the strategy of the current adapter: empty, or one object.
using PowerSaveSlot = std::unique_ptr<CPowerSaveOp>;

// Asks `device` for the chip family and leaves in `slot` the strategy for the
// adapter, calling through `device`: Qualcomm Atheros runs
// SelectQcaPowerSaveOp, Broadcom replaces the held object with a new Broadcom
// one, no family (no adapter, or an unbound GetPLCType) leaves the slot
// untouched. Returns the family.
std::optional<AdapterFamily> SelectPowerSaveOp(DeviceCalls& device, PowerSaveSlot& slot,
                                               PowerSaveDetection* detection = nullptr);

// The firmware rule for the Qualcomm Atheros family: the first variant whose
// chip and firmware parts the text holds is chosen ("7500"; "7420" with "1.0."
// or "1.1."); a text that names a chip but none of its firmware empties the
// slot; anything else, or a failed GetLocalDevInfo, leaves the slot untouched.
void SelectQcaPowerSaveOp(DeviceCalls& device, PowerSaveSlot& slot,
                          PowerSaveDetection* detection = nullptr);
