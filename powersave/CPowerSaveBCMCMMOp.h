#pragma once
#include "devicelib/BrcmParam.h"
#include "powersave/CPowerSaveOp.h"

// Broadcom chips: the power-save switch is bit 15 of the first 16-bit word of
// device parameter 41. Reads and writes go through BrcmGetParam/BrcmSetParam.
// A parameter of fewer than 2 data bytes has no switch: it reads as
// unavailable and is never written by SetPowerSave.
class CPowerSaveBCMCMMOp : public CPowerSaveOp {
public:
  explicit CPowerSaveBCMCMMOp(DeviceCalls& device) : CPowerSaveOp(device) {}
  uint16_t GetPowerSave() override;
  bool SetPowerSave(uint16_t value) override;
  const PowerSaveVariant& Variant() const override { return kPowerSaveBroadcom; }
  bool SaveCopy(PowerSaveCopy& copy, PowerSaveError& error) override;
  bool RestoreCopy(const PowerSaveCopy& copy, std::string_view firmware, bool force,
                   uint32_t& written, PowerSaveError& error) override;
  uint16_t CopyState(const PowerSaveCopy& copy) const override;

private:
  // Writes parameter 41 back whole with the reply's data; false without a
  // call when the data does not fit the request.
  bool SendParam(const BrcmParamReply& reply);
  bool ReadParam(BrcmParamReply& reply);
  // Shows the watch the parameter as the adapter handed it over.
  void KeepBefore(const BrcmParamReply& reply);
};
