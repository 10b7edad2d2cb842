#include "devicelib/AdapterLock.h"

#include <windows.h>

#include <sddl.h>

namespace {
// Global\: one lock for every session, not one per logged-on user.
constexpr wchar_t kMutexName[] = L"Global\\Ostrel.Adapter";
// Everyone may wait for the lock and release it, so that whoever creates it
// first (an administrator, say) does not lock standard users out.
constexpr wchar_t kMutexSddl[] = L"D:(A;;0x00100001;;;WD)";
static_assert((SYNCHRONIZE | MUTEX_MODIFY_STATE) == 0x00100001, "rights in kMutexSddl");

HANDLE OpenAdapterMutex() {
  // Should the descriptor not be made, the mutex gets the default rights.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ::ConvertStringSecurityDescriptorToSecurityDescriptorW(kMutexSddl, SDDL_REVISION_1, &descriptor,
                                                         nullptr);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  HANDLE mutex = ::CreateMutexW(&attributes, FALSE, kMutexName);
  const DWORD error = ::GetLastError();
  ::LocalFree(descriptor);
  // It exists, and its rights stop short of all access: ask for what a lock needs.
  if (mutex == nullptr && error == ERROR_ACCESS_DENIED)
    mutex = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kMutexName);
  return mutex;
}
} // namespace

AdapterLock::AdapterLock(uint32_t timeoutMs) : m_mutex(OpenAdapterMutex()) {
  if (m_mutex == nullptr)
    return;
  // WAIT_ABANDONED: the holder died; the adapter is ours now.
  const DWORD waited = ::WaitForSingleObject(m_mutex, timeoutMs);
  m_held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

AdapterLock::~AdapterLock() {
  if (m_held)
    ::ReleaseMutex(m_mutex);
  if (m_mutex != nullptr)
    ::CloseHandle(m_mutex);
}
