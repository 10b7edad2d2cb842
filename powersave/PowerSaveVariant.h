#pragma once
// The variants of the power-save strategy, one table row each: how the
// selection recognises the adapter, which PIB layout it edits, how an edited
// image goes back, and what a saved copy of it holds. Adding a variant takes
// one row here plus its layout.

#include "devicelib/AdapterFamily.h"
#include "nvm/PibHandle.h"
#include "nvm/PibView.h"

#include <cstddef>
#include <cstdint>

class CPowerSaveOp;
class DeviceCalls;

// What a variant's saved copy holds: its NVM image, or Broadcom parameter 41.
enum class BackupKind : uint8_t { NvmImage = 1, Param41 = 2 };

// "nvm-image" or "param41", for messages.
constexpr const char* BackupKindName(BackupKind kind) {
  return kind == BackupKind::NvmImage  ? "nvm-image"
         : kind == BackupKind::Param41 ? "param41"
                                       : "unknown";
}

// How a Qualcomm Atheros variant hands an edited image back.
enum class PowerSaveWriteBack : uint8_t {
  // A reset follows a successful write when the library offers one; its
  // outcome does not count.
  ResetOptional,
  // The change counts only when the write and the reset after it succeed.
  ResetRequired,
  // No reset, but both write-side entry points must be bound before starting.
  BothBoundNoReset,
};

struct PowerSaveVariant {
  const char* name; // "7420-1.0", "7420-1.1", "7500" or "broadcom"
  AdapterFamily family;
  // Parts of the firmware text: `chip` names the chip, `firmware` picks this
  // variant among the chip's (null: any). Null for Broadcom.
  const char* chip;
  const char* firmware;
  BackupKind kind;
  // The PIB layout; null for Broadcom.
  const CPibView* view;
  // The power-save edit of an image of this layout; null for Broadcom.
  bool (*edit)(PibHandle& handle, uint8_t* image, uint32_t capacity, uint16_t value);
  PowerSaveWriteBack writeBack;
  // Bytes of a saved copy: the layout's image buffer, or the parameter reply.
  std::size_t copySize;
  // A new strategy object of this variant, calling the adapter through
  // `device`; null when memory runs out.
  CPowerSaveOp* (*make)(DeviceCalls& device);

  // The PIB layout's name; empty for Broadcom.
  const char* Layout() const { return view != nullptr ? view->Layout().name : ""; }
};

extern const PowerSaveVariant kPowerSave7500;
extern const PowerSaveVariant kPowerSave74201D3;
extern const PowerSaveVariant kPowerSave74201D4;
extern const PowerSaveVariant kPowerSaveBroadcom;

// Every variant, in the order the selection tries them.
extern const PowerSaveVariant* const kPowerSaveVariants[4];

// The Qualcomm Atheros variant whose layout is `layout`; null for any other name.
const PowerSaveVariant* PowerSaveVariantForLayout(const char* layout);
