#include "powersave/PowerSaveVariant.h"

#include "devicelib/BrcmParam.h"
#include "powersave/CPowerSave74201D3Op.h"
#include "powersave/CPowerSave74201D4Op.h"
#include "powersave/CPowerSave7500Op.h"
#include "powersave/CPowerSaveBCMCMMOp.h"
#include "powersave/PowerSaveEdit.h"

#include <cstring>
#include <new>

namespace {
template <typename Op> CPowerSaveOp* Make(DeviceCalls& device) {
  return new (std::nothrow) Op(device);
}
} // namespace

const PowerSaveVariant kPowerSave7500 = {"7500",
                                         AdapterFamily::QualcommAtheros,
                                         "7500",
                                         nullptr,
                                         BackupKind::NvmImage,
                                         &Pib7500View,
                                         PowerSaveEdit7500,
                                         PowerSaveWriteBack::BothBoundNoReset,
                                         kPibLayout7500.imageCapacity,
                                         Make<CPowerSave7500Op>};

const PowerSaveVariant kPowerSave74201D3 = {"7420-1.0",
                                            AdapterFamily::QualcommAtheros,
                                            "7420",
                                            "1.0.",
                                            BackupKind::NvmImage,
                                            &Pib74201D3View,
                                            PowerSaveEdit7420For<Pib74201D3View>,
                                            PowerSaveWriteBack::ResetOptional,
                                            kPibLayout74201D3.imageCapacity,
                                            Make<CPowerSave74201D3Op>};

const PowerSaveVariant kPowerSave74201D4 = {"7420-1.1",
                                            AdapterFamily::QualcommAtheros,
                                            "7420",
                                            "1.1.",
                                            BackupKind::NvmImage,
                                            &Pib74201D4View,
                                            PowerSaveEdit7420For<Pib74201D4View>,
                                            PowerSaveWriteBack::ResetRequired,
                                            kPibLayout74201D4.imageCapacity,
                                            Make<CPowerSave74201D4Op>};

const PowerSaveVariant kPowerSaveBroadcom = {"broadcom",
                                             AdapterFamily::Broadcom,
                                             nullptr,
                                             nullptr,
                                             BackupKind::Param41,
                                             nullptr,
                                             nullptr,
                                             PowerSaveWriteBack::ResetOptional,
                                             BrcmParamReply::kSize,
                                             Make<CPowerSaveBCMCMMOp>};

// The 7500 comes first, and 1.0. before 1.1.: a text may name more than one.
const PowerSaveVariant* const kPowerSaveVariants[4] = {&kPowerSave7500, &kPowerSave74201D3,
                                                       &kPowerSave74201D4, &kPowerSaveBroadcom};

const PowerSaveVariant* PowerSaveVariantForLayout(const char* layout) {
  for (const PowerSaveVariant* variant : kPowerSaveVariants) {
    if (variant->view != nullptr && layout != nullptr &&
        std::strcmp(variant->Layout(), layout) == 0)
      return variant;
  }
  return nullptr;
}
