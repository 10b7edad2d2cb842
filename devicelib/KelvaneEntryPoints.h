#pragma once
// The entry points of the powerline device library, Kelvane.dll, as the program
// binds them: one process-wide table, filled once when the library is loaded.
//
// Each entry point is a C function exported under its undecorated name. The
// types below give its arguments and result only: whether a build of the
// library removes its own arguments (__stdcall) or leaves them to the caller
// (cdecl) cannot be told from outside, so nothing calls through these pointers
// but the call functions of KelvaneCalls.h. An entry point that did not
// resolve stays null.

#include <cstddef>
#include <cstdint>

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

constexpr std::size_t kKelvaneEntryPointCount = 26;

// Fields in binding order. Seven are called; the other nineteen are bound and
// never called, so they stay untyped.
struct KelvaneEntryPoints {
  PFN_GetLocalDevInfo GetLocalDevInfo;
  void* SetLocalDevNetworkName;
  void* SetLocalAllDevNetworkName;
  void* MatchNwkName;
  void* SetQosData;
  void* SetQosDataFromPara;
  void* SetQosDataFromPIB;
  void* GetQosData;
  void* GetQosDataAndPIB;
  PFN_ResetLocalDev ResetLocalDev;
  void* ResetDevDefault;
  void* GetRmtDevInfo;
  void* AddRmtDev;
  void* CheckAddDevKey;
  void* MatchAddDevDak;
  void* UpGradeLocalDev;
  PFN_GetLocalPIB GetLocalPIB;
  void* GetLocalPIBFromMac;
  PFN_WriteLocalPIB WriteLocalPIB;
  void* GetStandbyMode;
  void* SetLocalStandbyMod;
  void* SetStandByMode;
  PFN_GetPLCType GetPLCType;
  void* BrcmGetStaInfo;
  PFN_BrcmGetParam BrcmGetParam;
  PFN_BrcmSetParam BrcmSetParam;
};

// The exported names, in binding order.
extern const char* const kKelvaneEntryPointNames[kKelvaneEntryPointCount];

// The process-wide table, filled by KelvaneLoad. Tests may fill it with fakes.
extern KelvaneEntryPoints g_kelvane;

// Looks one exported name up; returns null when it does not resolve.
typedef void* (*KelvaneResolver)(void* context, const char* name);

// Fills `table` by name through `resolve`, in binding order; returns how many
// names resolved. Unresolved entries are set to null.
std::size_t KelvaneBindEntryPoints(KelvaneEntryPoints& table, KelvaneResolver resolve,
                                   void* context);
