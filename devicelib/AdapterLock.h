#pragma once
// One program at the adapter at a time: every use of the adapter, by any
// program of ours in any session on the computer, holds this lock.

#include <cstdint>

// Held for the object's life once taken; released by its destructor, which
// must run on the thread that took it (a mutex belongs to a thread).
class AdapterLock {
public:
  // Waits up to `timeoutMs` for the computer-wide adapter lock.
  explicit AdapterLock(uint32_t timeoutMs);
  ~AdapterLock();
  AdapterLock(const AdapterLock&) = delete;
  AdapterLock& operator=(const AdapterLock&) = delete;
  bool Held() const { return m_held; }

private:
  void* m_mutex = nullptr;
  bool m_held = false;
};

// How long the dialog waits before it reports the operation as failed.
constexpr uint32_t kAdapterLockDialogWaitMs = 30000;
