#pragma once
#include "powersave/CPowerSaveQcaOp.h"

// QCA7420 with firmware 1.0.x: PIB version 1.3, 8112 bytes.
class CPowerSave74201D3Op : public CPowerSaveQcaOp {
public:
  explicit CPowerSave74201D3Op(DeviceCalls& device) : CPowerSaveQcaOp(device, kPowerSave74201D3) {}
};
