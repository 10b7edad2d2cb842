#include "powersave/PowerSaveVariant.h"

#include "powersave/CPowerSave74201D3Op.h"
#include "powersave/CPowerSave74201D4Op.h"
#include "powersave/CPowerSave7500Op.h"
#include "powersave/CPowerSaveBCMCMMOp.h"

const PowerSaveVariant* PowerSaveVariantOf(const CPowerSaveOp* op) {
  static const PowerSaveVariant k74201D3 = {"7420-1.0", "7420-1.3", &Pib74201D3View,
                                            CPowerSave74201D3Op::WriteBack};
  static const PowerSaveVariant k74201D4 = {"7420-1.1", "7420-1.4", &Pib74201D4View,
                                            CPowerSave74201D4Op::WriteBack};
  static const PowerSaveVariant k7500 = {"7500", "7500", &Pib7500View, CPowerSave7500Op::WriteBack};
  static const PowerSaveVariant kBroadcom = {"broadcom", nullptr, nullptr, nullptr};
  if (dynamic_cast<const CPowerSave74201D3Op*>(op) != nullptr)
    return &k74201D3;
  if (dynamic_cast<const CPowerSave74201D4Op*>(op) != nullptr)
    return &k74201D4;
  if (dynamic_cast<const CPowerSave7500Op*>(op) != nullptr)
    return &k7500;
  if (dynamic_cast<const CPowerSaveBCMCMMOp*>(op) != nullptr)
    return &kBroadcom;
  return nullptr;
}
