#pragma once
#include "devicelib/DeviceRecord.h"
#include "powersave/CPowerSaveOp.h"
#include "powersave/PowerSaveVariant.h"

#include <cstdint>
#include <memory>

// What a caller may want to know of the device record the rule went by:
// whether GetLocalDevInfo filled it, and the record. Qualcomm Atheros only.
struct PowerSaveDetection {
  bool recordRead = false;
  DeviceRecord record = {};
};

// The slot that owns the strategy of the current adapter: empty, or one object.
using PowerSaveSlot = std::unique_ptr<CPowerSaveOp>;

// Asks the device library for the chip family and leaves in `slot` the strategy
// for the adapter: family 1 runs SelectQcaPowerSaveOp, family 2 replaces the
// held object with a new Broadcom one, any other family (no adapter, or an
// unbound GetPLCType) leaves the slot untouched. Returns the family.
uint8_t SelectPowerSaveOp(PowerSaveSlot& slot, PowerSaveDetection* detection = nullptr);

// The firmware rule for the Qualcomm Atheros family: the first variant whose
// chip and firmware parts the text holds is chosen ("7500"; "7420" with "1.0."
// or "1.1."); a text that names a chip but none of its firmware empties the
// slot; anything else, or a failed GetLocalDevInfo, leaves the slot untouched.
void SelectQcaPowerSaveOp(PowerSaveSlot& slot, PowerSaveDetection* detection = nullptr);
