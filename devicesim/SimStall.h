#pragma once
// Entry points that keep the caller waiting the way a real library can, as
// the profile asks: pump_ms and hang.

#include "devicesim/SimAdapter.h"

#include <mutex>

// Runs before `entryPoint` acts, outside `mutex` (the one that serialises
// calls into `adapter`), so other threads' calls still work meanwhile. Pumps
// the calling thread's window messages for pump_ms (Windows; elsewhere it only
// waits); then, when the profile's hang names `entryPoint`, traces
// "HANG <entryPoint>" and never returns.
void SimStall(SimAdapter& adapter, std::mutex& mutex, const char* entryPoint);

// When the profile's gate names `entryPoint` and its gate_open file is not
// there yet, traces "GATE <entryPoint>" and waits until the file appears;
// with pump_ms set it dispatches the calling thread's messages meanwhile.
void SimGate(const SimProfile& profile, const char* entryPoint);

// The library's detach at process exit waits for calls still running, as a
// real library's can: once a call has hung, this never returns, and so
// neither does ExitProcess (Windows; elsewhere it returns at once).
void SimAwaitHungCalls();
