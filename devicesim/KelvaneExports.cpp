// The simulated device library's exported entry points: C functions under
// their undecorated names, as the program binds them. The Windows build comes
// in two kinds, as the real library may: entry points that leave their
// arguments to the caller (cdecl), and, with KELVANE_SIM_STDCALL, entry points
// that remove them themselves (__stdcall, exported without decoration).
//
// Every call is traced, delayed, held at a gate and failed as the profile says. A call that
// starts while another is still running is recorded as an overlap before it
// waits for its turn. Trace lines begin with the calling process's id, so
// that a test can tell apart two programs at one adapter.

#include "devicesim/SimAdapter.h"
#include "devicesim/SimFile.h"
#include "devicesim/SimStall.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#define KELVANE_EXPORT extern "C" __declspec(dllexport)
#else
#define KELVANE_EXPORT extern "C" __attribute__((visibility("default")))
#endif
#ifdef KELVANE_SIM_STDCALL
#define KELVANE_CALL __stdcall
#else
#define KELVANE_CALL
#endif

namespace {

SimAdapter g_adapter;
std::mutex g_mutex;
std::atomic<int> g_callsRunning{0};

template <typename Action> int Call(const char* name, const std::string& args, Action act) {
  const bool overlap = g_callsRunning.fetch_add(1) > 0;
  SimProfile profile;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    profile = g_adapter.Profile();
  }
  if (overlap && !profile.trace.empty())
    SimAppendTraceLine(profile.trace, std::string("OVERLAP ") + name);
  if (profile.delayMs > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(profile.delayMs));
  SimGate(profile, name);

  int result;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    // GetPLCType reads the profile afresh, so it decides for itself.
    const bool failing = std::string(name) != "GetPLCType" && g_adapter.Profile().Fails(name);
    result = failing ? 0 : g_adapter.Profile().Drops(name) ? 1 : act();
    const std::string& trace = g_adapter.Profile().trace;
    if (!trace.empty())
      SimAppendTraceLine(trace, args.empty() ? name : std::string(name) + " " + args);
  }
  g_callsRunning.fetch_sub(1);
  return result;
}

} // namespace

#ifdef _WIN32
// At process exit (`reserved` set) the library waits for its hung calls, so a
// program that ends with ExitProcess while a call hangs never ends. Unloading
// alone does not wait.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && reserved != nullptr)
    SimAwaitHungCalls();
  return TRUE;
}
#endif

KELVANE_EXPORT int KELVANE_CALL GetPLCType(void) {
  return Call("GetPLCType", "", [] {
    const int family = g_adapter.GetPLCType();
    return g_adapter.Profile().Fails("GetPLCType") ? 0 : family;
  });
}

KELVANE_EXPORT int KELVANE_CALL GetLocalDevInfo(unsigned char* record) {
  return Call("GetLocalDevInfo", "", [=] { return g_adapter.GetLocalDevInfo(record); });
}

KELVANE_EXPORT int KELVANE_CALL GetLocalPIB(unsigned char* image) {
  SimStall(g_adapter, g_mutex, "GetLocalPIB");
  return Call("GetLocalPIB", "", [=] { return g_adapter.GetLocalPIB(image); });
}

KELVANE_EXPORT int KELVANE_CALL WriteLocalPIB(unsigned char* image, uint32_t length, int mode) {
  SimStall(g_adapter, g_mutex, "WriteLocalPIB");
  return Call("WriteLocalPIB", std::to_string(length) + " " + std::to_string(mode),
              [=] { return g_adapter.WriteLocalPIB(image, length); });
}

KELVANE_EXPORT int KELVANE_CALL ResetLocalDev(int mode) {
  return Call("ResetLocalDev", std::to_string(mode), [] { return g_adapter.ResetLocalDev(); });
}

KELVANE_EXPORT int KELVANE_CALL BrcmGetParam(unsigned char* reply, int param) {
  SimStall(g_adapter, g_mutex, "BrcmGetParam");
  return Call("BrcmGetParam", std::to_string(param),
              [=] { return g_adapter.BrcmGetParam(reply, param); });
}

KELVANE_EXPORT int KELVANE_CALL BrcmSetParam(unsigned char* request) {
  SimStall(g_adapter, g_mutex, "BrcmSetParam");
  return Call("BrcmSetParam", "", [=] { return g_adapter.BrcmSetParam(request); });
}
