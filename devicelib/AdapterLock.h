#pragma once
// One program at the adapter at a time: a lock that every process in every
// session on the computer sees, and that a standard user can take. Windows only.

#include <cstdint>

constexpr uint32_t kAdapterLockDialogWaitMs = 30000;

// Held for the object's life once taken; released by the thread that took it.
class AdapterLock {
public:
  // Waits up to `timeoutMs` for the lock.
  explicit AdapterLock(uint32_t timeoutMs);
  ~AdapterLock();
  AdapterLock(const AdapterLock&) = delete;
  AdapterLock& operator=(const AdapterLock&) = delete;
  bool Held() const { return m_held; }

private:
  void* m_mutex = nullptr;
  bool m_held = false;
};
