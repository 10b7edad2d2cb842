#pragma once
// What a caller outside the dialog needs to know of the strategy the selection
// chose: its name, and for Qualcomm Atheros chips the PIB layout it opens and
// how it hands an image back, so that a saved image can be checked and
// written by the same rules the strategy follows.

#include "nvm/PibView.h"
#include "powersave/CPowerSaveOp.h"

#include <cstdint>

struct PowerSaveVariant {
  const char* name;   // "7420-1.0", "7420-1.1", "7500" or "broadcom"
  const char* layout; // the PIB layout's name, as the tools spell it; null for Broadcom
  const CPibView* view;
  // Writes an image back and resets the adapter by the strategy's rule.
  bool (*writeBack)(uint8_t* image, uint16_t writeLength);
};

// The variant of `op`; null when there is no strategy.
const PowerSaveVariant* PowerSaveVariantOf(const CPowerSaveOp* op);
