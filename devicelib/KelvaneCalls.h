#pragma once
// The device calls over a table of bound entry points: the only place that
// calls through them.

#include "devicelib/DeviceCalls.h"
#include "devicelib/KelvaneEntryPoints.h"

class KelvaneCalls final : public DeviceCalls {
public:
  // `entryPoints` must outlive this object; it may be filled later.
  explicit KelvaneCalls(const KelvaneEntryPoints& entryPoints) : m_entryPoints(entryPoints) {}
  int GetPLCType() override;
  int GetLocalDevInfo(DeviceRecord& record) override;
  int GetLocalPIB(uint8_t* image) override;
  int WriteLocalPIB(uint8_t* image, uint32_t length) override;
  int ResetLocalDev() override;
  int BrcmGetParam(BrcmParamReply& reply, int param) override;
  int BrcmSetParam(BrcmParamRequest& request) override;
  bool CanWriteImage() const override;

private:
  const KelvaneEntryPoints& m_entryPoints;
};
