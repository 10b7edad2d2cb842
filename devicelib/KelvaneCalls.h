#pragma once
// The calls the program makes into the device library, one function per
// entry point it uses. Each returns the entry point's own result, and 0 when
// the entry point is unbound: callers see no difference between the two.

#include "devicelib/BrcmParam.h"
#include "devicelib/DeviceRecord.h"
#include "devicelib/KelvaneEntryPoints.h"

#include <cstddef>
#include <cstdint>

// GetLocalPIB is given no capacity, so its buffer must hold the largest image
// the library may hand over: the 7500's, whatever chip the caller expects.
constexpr std::size_t kNvmImageBufferSize = 32768;

// Low byte: 1 Qualcomm Atheros, 2 Broadcom, anything else no adapter.
int KelvaneGetPLCType();
int KelvaneGetLocalDevInfo(DeviceRecord& record);
// `image` must hold kNvmImageBufferSize bytes.
int KelvaneGetLocalPIB(uint8_t* image);
// Hands the first `length` bytes of the image back; the mode is always 1.
int KelvaneWriteLocalPIB(uint8_t* image, uint32_t length);
// The mode is always 0.
int KelvaneResetLocalDev();
int KelvaneBrcmGetParam(BrcmParamReply& reply, int param);
int KelvaneBrcmSetParam(BrcmParamRequest& request);

// Whether the library exports an entry point, for a caller that must know
// before it starts: KelvaneIsBound(&KelvaneEntryPoints::WriteLocalPIB).
template <typename Entry> bool KelvaneIsBound(Entry KelvaneEntryPoints::*entry) {
  return g_kelvane.*entry != nullptr;
}
