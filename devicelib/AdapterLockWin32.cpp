#include "devicelib/AdapterLock.h"

#include <windows.h>

#include <sddl.h>

namespace {
constexpr wchar_t kName[] = L"Global\\Ostrel.Adapter";

// Whoever makes the mutex first, an administrator say, must not lock
// standard users out: everyone may wait on it and release it.
HANDLE CreateOrOpen() {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100001;;;WD)",
                                                             SDDL_REVISION_1, &descriptor, nullptr))
    attributes.lpSecurityDescriptor = descriptor;
  HANDLE mutex = ::CreateMutexW(&attributes, FALSE, kName);
  if (descriptor != nullptr)
    ::LocalFree(descriptor);
  if (mutex == nullptr && ::GetLastError() == ERROR_ACCESS_DENIED)
    mutex = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kName);
  return mutex;
}
} // namespace

AdapterLock::AdapterLock(uint32_t timeoutMs) {
  HANDLE mutex = CreateOrOpen();
  if (mutex == nullptr)
    return;
  m_mutex = mutex;
  // An abandoned lock: its holder ended without releasing it.
  const DWORD waited = ::WaitForSingleObject(mutex, timeoutMs);
  m_held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

AdapterLock::~AdapterLock() {
  if (m_held)
    ::ReleaseMutex(static_cast<HANDLE>(m_mutex));
  if (m_mutex != nullptr)
    ::CloseHandle(static_cast<HANDLE>(m_mutex));
}
