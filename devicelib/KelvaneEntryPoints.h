#pragma once
// The entry points of the powerline device library, Kelvane.dll, as the program
// binds them: one table, owned by the loaded library, filled when it loads.
//
// Each entry point is a C function exported under its undecorated name. The
// types below give its arguments and result only: whether a build of the
// library removes its own arguments (__stdcall) or leaves them to the caller
// (cdecl) cannot be told from outside, so nothing calls through these pointers
// but KelvaneCalls. An entry point that did not resolve stays null.

#include <cstddef>
#include <cstdint>
#include <iterator>

extern "C" {
// Low byte of the result: 1 Qualcomm Atheros, 2 Broadcom, anything else no adapter.
typedef int (*PFN_GetPLCType)(void);
// Fills the 268-byte device record; the firmware text starts at byte 105.
typedef int (*PFN_GetLocalDevInfo)(unsigned char* record);
// Copies the adapter's NVM image into the caller's buffer; no capacity is passed.
typedef int (*PFN_GetLocalPIB)(unsigned char* image);
// Takes back the first `length` bytes of the image; `mode` is always 1.
typedef int (*PFN_WriteLocalPIB)(unsigned char* image, uint32_t length, int mode);
// Resets the local adapter; `mode` is always 0.
typedef int (*PFN_ResetLocalDev)(int mode);
// Fills a 1500-byte parameter reply for the numbered parameter.
typedef int (*PFN_BrcmGetParam)(unsigned char* reply, int param);
// Writes the parameter described by a 1498-byte request.
typedef int (*PFN_BrcmSetParam)(unsigned char* request);
}

// Every entry point in binding order, once: X(type, name), where `name` is
// both the table's field and the name the library exports. Seven are called;
// the other nineteen are bound and never called, so they stay untyped.
#define KELVANE_ENTRY_POINTS(X)                                                                    \
  X(PFN_GetLocalDevInfo, GetLocalDevInfo)                                                          \
  X(void*, SetLocalDevNetworkName)                                                                 \
  X(void*, SetLocalAllDevNetworkName)                                                              \
  X(void*, MatchNwkName)                                                                           \
  X(void*, SetQosData)                                                                             \
  X(void*, SetQosDataFromPara)                                                                     \
  X(void*, SetQosDataFromPIB)                                                                      \
  X(void*, GetQosData)                                                                             \
  X(void*, GetQosDataAndPIB)                                                                       \
  X(PFN_ResetLocalDev, ResetLocalDev)                                                              \
  X(void*, ResetDevDefault)                                                                        \
  X(void*, GetRmtDevInfo)                                                                          \
  X(void*, AddRmtDev)                                                                              \
  X(void*, CheckAddDevKey)                                                                         \
  X(void*, MatchAddDevDak)                                                                         \
  X(void*, UpGradeLocalDev)                                                                        \
  X(PFN_GetLocalPIB, GetLocalPIB)                                                                  \
  X(void*, GetLocalPIBFromMac)                                                                     \
  X(PFN_WriteLocalPIB, WriteLocalPIB)                                                              \
  X(void*, GetStandbyMode)                                                                         \
  X(void*, SetLocalStandbyMod)                                                                     \
  X(void*, SetStandByMode)                                                                         \
  X(PFN_GetPLCType, GetPLCType)                                                                    \
  X(void*, BrcmGetStaInfo)                                                                         \
  X(PFN_BrcmGetParam, BrcmGetParam)                                                                \
  X(PFN_BrcmSetParam, BrcmSetParam)

struct KelvaneEntryPoints {
#define KELVANE_FIELD(type, name) type name;
  KELVANE_ENTRY_POINTS(KELVANE_FIELD)
#undef KELVANE_FIELD
};

// The exported names, in binding order.
#define KELVANE_NAME(type, name) #name,
inline constexpr const char* kKelvaneEntryPointNames[] = {KELVANE_ENTRY_POINTS(KELVANE_NAME)};
#undef KELVANE_NAME
constexpr std::size_t kKelvaneEntryPointCount = std::size(kKelvaneEntryPointNames);
static_assert(kKelvaneEntryPointCount == 26, "the library's contract has 26 entry points");

// Looks one exported name up; returns null when it does not resolve.
typedef void* (*KelvaneResolver)(void* context, const char* name);

// Fills `table` by name through `resolve`, in binding order; returns how many
// names resolved. Unresolved entries are set to null.
std::size_t KelvaneBindEntryPoints(KelvaneEntryPoints& table, KelvaneResolver resolve,
                                   void* context);
