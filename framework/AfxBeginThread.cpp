#include "framework/AfxBeginThread.h"

#include <new>
#include <process.h>

namespace {
struct ThreadStart {
  AFX_THREADPROC proc;
  LPVOID param;
};

unsigned __stdcall RunThread(void* arg) {
  ThreadStart start = *static_cast<ThreadStart*>(arg);
  delete static_cast<ThreadStart*>(arg);
  return start.proc(start.param);
}
} // namespace

bool AfxBeginThread(AFX_THREADPROC proc, LPVOID pParam) {
  auto* start = new (std::nothrow) ThreadStart{proc, pParam};
  if (start == nullptr)
    return false;
  // _beginthreadex rather than CreateThread, so the C runtime is set up for
  // the thread.
  uintptr_t thread = _beginthreadex(nullptr, 0, &RunThread, start, 0, nullptr);
  if (thread == 0) {
    delete start;
    return false;
  }
  ::CloseHandle(reinterpret_cast<HANDLE>(thread));
  return true;
}
