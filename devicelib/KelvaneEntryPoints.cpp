#include "devicelib/KelvaneEntryPoints.h"

#include <cstring>

KelvaneEntryPoints g_kelvane = {};

const char* const kKelvaneEntryPointNames[kKelvaneEntryPointCount] = {
    "GetLocalDevInfo",
    "SetLocalDevNetworkName",
    "SetLocalAllDevNetworkName",
    "MatchNwkName",
    "SetQosData",
    "SetQosDataFromPara",
    "SetQosDataFromPIB",
    "GetQosData",
    "GetQosDataAndPIB",
    "ResetLocalDev",
    "ResetDevDefault",
    "GetRmtDevInfo",
    "AddRmtDev",
    "CheckAddDevKey",
    "MatchAddDevDak",
    "UpGradeLocalDev",
    "GetLocalPIB",
    "GetLocalPIBFromMac",
    "WriteLocalPIB",
    "GetStandbyMode",
    "SetLocalStandbyMod",
    "SetStandByMode",
    "GetPLCType",
    "BrcmGetStaInfo",
    "BrcmGetParam",
    "BrcmSetParam",
};

// Every field of the table is one pointer, in binding order, so the table is
// filled slot by slot; the copy keeps the function-pointer slots free of casts.
static_assert(sizeof(KelvaneEntryPoints) == kKelvaneEntryPointCount * sizeof(void*),
              "one pointer-sized slot per entry point");
static_assert(sizeof(PFN_GetPLCType) == sizeof(void*), "code and data pointers share a size");

std::size_t KelvaneBindEntryPoints(KelvaneEntryPoints& table, KelvaneResolver resolve,
                                   void* context) {
  std::size_t bound = 0;
  unsigned char* slots = reinterpret_cast<unsigned char*>(&table);
  for (std::size_t i = 0; i < kKelvaneEntryPointCount; ++i) {
    void* address = resolve(context, kKelvaneEntryPointNames[i]);
    std::memcpy(slots + i * sizeof(void*), &address, sizeof address);
    if (address != nullptr)
      ++bound;
  }
  return bound;
}
