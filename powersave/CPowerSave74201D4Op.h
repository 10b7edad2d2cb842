#pragma once
#include "powersave/CPowerSaveQcaOp.h"

// QCA7420 with firmware 1.1.x: PIB version 1.4, 8628 bytes.
class CPowerSave74201D4Op : public CPowerSaveQcaOp {
public:
  explicit CPowerSave74201D4Op(DeviceCalls& device) : CPowerSaveQcaOp(device, kPowerSave74201D4) {}
};
