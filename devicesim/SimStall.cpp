#include "devicesim/SimStall.h"

#include "devicesim/SimFile.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
#ifdef _WIN32
// Set while no call hangs. A hung call never sets it again; ExitProcess ends
// the hung thread first, so nothing could.
const HANDLE g_noCallHung = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
#endif

void PumpMessages(int ms) {
#ifdef _WIN32
  const DWORD start = ::GetTickCount();
  const DWORD span = static_cast<DWORD>(ms);
  for (DWORD elapsed = 0; elapsed < span; elapsed = ::GetTickCount() - start) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, span - elapsed, QS_ALLINPUT);
  }
#else
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
#endif
}
} // namespace

void SimStall(SimAdapter& adapter, std::mutex& mutex, const char* entryPoint) {
  int pumpMs = 0;
  bool hangs = false;
  std::string trace;
  {
    std::lock_guard<std::mutex> lock(mutex);
    const SimProfile& profile = adapter.Profile();
    pumpMs = profile.pumpMs;
    hangs = profile.hang == entryPoint;
    trace = profile.trace;
  }
  if (pumpMs > 0)
    PumpMessages(pumpMs);
  if (!hangs)
    return;
  if (!trace.empty())
    SimAppendTraceLine(trace, std::string("HANG ") + entryPoint);
#ifdef _WIN32
  ::ResetEvent(g_noCallHung);
#endif
  for (;;)
    std::this_thread::sleep_for(std::chrono::hours(1));
}

void SimGate(const SimProfile& profile, const char* entryPoint) {
  const auto& gate = profile.gate;
  if (std::find(gate.begin(), gate.end(), entryPoint) == gate.end() ||
      SimFileExists(profile.gateOpen))
    return;
  if (!profile.trace.empty())
    SimAppendTraceLine(profile.trace, std::string("GATE ") + entryPoint);
  while (!SimFileExists(profile.gateOpen)) {
    if (profile.pumpMs > 0)
      PumpMessages(5);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void SimAwaitHungCalls() {
#ifdef _WIN32
  ::WaitForSingleObject(g_noCallHung, INFINITE);
#endif
}
