#include "devicelib/KelvaneCalls.h"

#if defined(_WIN32) && defined(__i386__)
#include "devicelib/KelvaneGate.h"
#define KELVANE_CALL_THROUGH_GATE 1
#endif

namespace {

#ifdef KELVANE_CALL_THROUGH_GATE
// Every argument the library takes is one 32-bit stack word.
template <typename T> uint32_t Word(T* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}
uint32_t Word(int value) {
  return static_cast<uint32_t>(value);
}
uint32_t Word(uint32_t value) {
  return value;
}
#endif

// Natively the library is one of ours, and the call is a plain one.
template <typename... Params, typename... Args> int Call(int (*entry)(Params...), Args... args) {
  if (entry == nullptr)
    return 0;
#ifdef KELVANE_CALL_THROUGH_GATE
  // A leading 0 keeps the array legal for an entry point without arguments;
  // the words passed start after it.
  const uint32_t words[] = {0, Word(args)...};
  return KelvaneGate(reinterpret_cast<const void*>(entry), words + 1, sizeof...(Args));
#else
  return entry(args...);
#endif
}

} // namespace

int KelvaneCalls::GetPLCType() {
  return Call(m_entryPoints.GetPLCType);
}

int KelvaneCalls::GetLocalDevInfo(DeviceRecord& record) {
  return Call(m_entryPoints.GetLocalDevInfo, record.bytes);
}

int KelvaneCalls::GetLocalPIB(uint8_t* image) {
  return Call(m_entryPoints.GetLocalPIB, image);
}

int KelvaneCalls::WriteLocalPIB(uint8_t* image, uint32_t length) {
  return Call(m_entryPoints.WriteLocalPIB, image, length, 1);
}

int KelvaneCalls::ResetLocalDev() {
  return Call(m_entryPoints.ResetLocalDev, 0);
}

int KelvaneCalls::BrcmGetParam(BrcmParamReply& reply, int param) {
  return Call(m_entryPoints.BrcmGetParam, reply.bytes, param);
}

int KelvaneCalls::BrcmSetParam(BrcmParamRequest& request) {
  return Call(m_entryPoints.BrcmSetParam, request.bytes);
}

bool KelvaneCalls::CanWriteImage() const {
  return m_entryPoints.WriteLocalPIB != nullptr && m_entryPoints.ResetLocalDev != nullptr;
}
