#pragma once
#include "powersave/CPowerSaveQcaOp.h"

// QCA7500: PIB version 1.4, 19928 bytes.
class CPowerSave7500Op : public CPowerSaveQcaOp {
public:
  explicit CPowerSave7500Op(DeviceCalls& device) : CPowerSaveQcaOp(device, kPowerSave7500) {}
};
