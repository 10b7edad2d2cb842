#pragma once
// One program at the adapter at a time: every use of the adapter, by any
// program of ours in any session on the computer, holds this lock.

#include <cstdint>

// What a program's windows make of a wait for the lock; the lock itself
// knows no window.
class AdapterLockWaiter {
public:
  // Whether `message` (a MSG) was taken before it is dispatched, as a
  // dialog takes its keys.
  virtual bool TakeMessage(void* message) = 0;
  // Whether the wait is to end unheld: the window was closed meanwhile.
  virtual bool StopWaiting() = 0;
  // Once, when the wait has gone on for kAdapterLockPatienceMs.
  virtual void StillWaiting() = 0;

protected:
  ~AdapterLockWaiter() = default;
};

// How long a wait goes on before the waiter hears that it still waits.
constexpr uint32_t kAdapterLockPatienceMs = 2000;

// Held for the object's life once taken; released by its destructor, which
// must run on the thread that took it (a mutex belongs to a thread).
class AdapterLock {
public:
  // Waits up to `timeoutMs` for the computer-wide adapter lock. With
  // `pumpMessages` the thread's window messages are dispatched meanwhile, so
  // that a window of the thread keeps painting and answering; a WM_QUIT ends
  // the wait unheld and is posted again. `waiter`, when given, takes part.
  explicit AdapterLock(uint32_t timeoutMs, bool pumpMessages = false,
                       AdapterLockWaiter* waiter = nullptr);
  ~AdapterLock();
  AdapterLock(const AdapterLock&) = delete;
  AdapterLock& operator=(const AdapterLock&) = delete;
  bool Held() const { return m_held; }
  // The waiter ended the wait.
  bool Stopped() const { return m_stopped; }
  // The lock object could be neither opened nor created, so nothing was
  // waited for: its name is taken by another kind of object, or its rights
  // shut us out. Not the same as another program holding it.
  bool Unavailable() const { return m_mutex == nullptr; }
  // The system's error code when Unavailable(), else 0.
  unsigned long OpenError() const { return m_openError; }

private:
  void* m_mutex = nullptr;
  unsigned long m_openError = 0;
  bool m_held = false;
  bool m_stopped = false;
};

// The open-or-create call, CreateMutexExW's arguments; a test replaces it to
// see what is asked for.
using AdapterMutexCreateFn = void* (*)(void* attributes, const wchar_t* name, unsigned long flags,
                                       unsigned long access);
extern AdapterMutexCreateFn g_adapterMutexCreate;
