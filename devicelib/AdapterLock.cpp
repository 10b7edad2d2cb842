#include "devicelib/AdapterLock.h"

#include <windows.h>

#include <sddl.h>

namespace {
// Global\: one lock for every session, not one per logged-on user.
constexpr wchar_t kMutexName[] = L"Global\\Ostrel.Adapter";
// Everyone may wait for the lock and release it, so that whoever creates it
// first (an administrator, say) does not lock standard users out.
constexpr wchar_t kMutexSddl[] = L"D:(A;;0x00100001;;;WD)";
constexpr DWORD kMutexAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;
static_assert(kMutexAccess == 0x00100001, "rights in kMutexSddl");

void* CreateAdapterMutex(void* attributes, const wchar_t* name, unsigned long flags,
                         unsigned long access) {
  return ::CreateMutexExW(static_cast<SECURITY_ATTRIBUTES*>(attributes), name, flags, access);
}

// Opens or creates in one step, asking only for the rights a lock needs:
// CreateMutexW would ask an existing mutex for all access, which its
// descriptor denies, and a second open could miss a mutex its last holder
// closed in between.
HANDLE OpenAdapterMutex(unsigned long& error) {
  // Should the descriptor not be made, the mutex gets the default rights.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ::ConvertStringSecurityDescriptorToSecurityDescriptorW(kMutexSddl, SDDL_REVISION_1, &descriptor,
                                                         nullptr);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  HANDLE mutex = g_adapterMutexCreate(&attributes, kMutexName, 0, kMutexAccess);
  error = mutex == nullptr ? ::GetLastError() : ERROR_SUCCESS;
  ::LocalFree(descriptor);
  return mutex;
}

// Dispatches what has come, through the waiter first; false after a
// WM_QUIT, which is posted again for the loop that owns it.
bool PumpMessages(AdapterLockWaiter* waiter) {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    if (waiter != nullptr && waiter->TakeMessage(&message))
      continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return true;
}

// The wait, in steps: messages are dispatched as they come (also those that
// came before the wait began, which a plain QS_ALLINPUT wait would not see),
// the waiter hears once that the wait goes on, and may end it.
DWORD Wait(HANDLE mutex, DWORD timeoutMs, bool pump, AdapterLockWaiter* waiter, bool& stopped) {
  const DWORD start = ::GetTickCount();
  bool told = waiter == nullptr;
  for (;;) {
    const DWORD spent = ::GetTickCount() - start;
    if (!told && spent >= kAdapterLockPatienceMs) {
      told = true;
      waiter->StillWaiting();
    }
    DWORD left = spent < timeoutMs ? timeoutMs - spent : 0;
    if (!told && kAdapterLockPatienceMs - spent < left)
      left = kAdapterLockPatienceMs - spent;
    const DWORD waited =
        pump ? ::MsgWaitForMultipleObjectsEx(1, &mutex, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE)
             : ::WaitForSingleObject(mutex, left);
    if (waited == WAIT_TIMEOUT && spent + left < timeoutMs)
      continue;
    if (waited != WAIT_OBJECT_0 + 1 || !pump)
      return waited;
    if (!PumpMessages(waiter))
      return WAIT_TIMEOUT;
    if (waiter != nullptr && waiter->StopWaiting()) {
      stopped = true;
      return WAIT_TIMEOUT;
    }
  }
}
} // namespace

AdapterMutexCreateFn g_adapterMutexCreate = &CreateAdapterMutex;

AdapterLock::AdapterLock(uint32_t timeoutMs, bool pumpMessages, AdapterLockWaiter* waiter) {
  m_mutex = OpenAdapterMutex(m_openError);
  if (m_mutex == nullptr)
    return;
  // WAIT_ABANDONED: the holder died; the adapter is ours now.
  const DWORD waited = Wait(m_mutex, timeoutMs, pumpMessages, waiter, m_stopped);
  m_held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

AdapterLock::~AdapterLock() {
  if (m_held)
    ::ReleaseMutex(m_mutex);
  if (m_mutex != nullptr)
    ::CloseHandle(m_mutex);
}
