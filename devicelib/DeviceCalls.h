#pragma once
// The calls the program makes into the device library, one method per entry
// point it uses. Each returns the entry point's own result, and 0 when the
// entry point is unbound: callers see no difference between the two. Passed
// down to whatever talks to the adapter; tests hand in a fake library.

#include "devicelib/BrcmParam.h"
#include "devicelib/DeviceRecord.h"

#include <cstddef>
#include <cstdint>

// GetLocalPIB is given no capacity, so its buffer must hold the largest image
// the library may hand over: the 7500's, whatever chip the caller expects.
constexpr std::size_t kNvmImageBufferSize = 32768;

class DeviceCalls {
public:
  // Low byte: see AdapterFamilyOf.
  virtual int GetPLCType() = 0;
  virtual int GetLocalDevInfo(DeviceRecord& record) = 0;
  // `image` must hold kNvmImageBufferSize bytes.
  virtual int GetLocalPIB(uint8_t* image) = 0;
  // Hands the first `length` bytes of the image back; the mode is always 1.
  virtual int WriteLocalPIB(uint8_t* image, uint32_t length) = 0;
  // The mode is always 0.
  virtual int ResetLocalDev() = 0;
  virtual int BrcmGetParam(BrcmParamReply& reply, int param) = 0;
  virtual int BrcmSetParam(BrcmParamRequest& request) = 0;
  // Whether the library exports both WriteLocalPIB and ResetLocalDev, for a
  // writer that must know before it starts.
  virtual bool CanWriteImage() const = 0;

protected:
  ~DeviceCalls() = default;
};
