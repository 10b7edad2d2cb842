#pragma once
// One program at the adapter at a time: the computer-wide adapter lock, as
// the front ends take it.

#include <cstdint>
#include <memory>
#include <string>

// How long a program waits for the adapter lock before it gives up: the
// dialog always, ostrelctl unless told otherwise.
constexpr unsigned kAdapterWaitSeconds = 30;

// What a program's windows make of a wait for the lock; the lock itself
// knows no window.
class SessionLockWaiter {
public:
  // Whether `message` (a MSG) was taken before it is dispatched, as a
  // dialog takes its keys.
  virtual bool TakeMessage(void* message) = 0;
  // Whether the wait is to end unheld: the window was closed meanwhile.
  virtual bool StopWaiting() = 0;
  // Once, when the wait has gone on a while.
  virtual void StillWaiting() = 0;

protected:
  ~SessionLockWaiter() = default;
};

// Held while the object lives, released on the thread that took it.
class SessionLock {
public:
  // With `pumpMessages` the thread's windows keep painting and answering
  // while it waits.
  SessionLock(uint32_t waitMs, bool pumpMessages, SessionLockWaiter* waiter = nullptr);
  ~SessionLock();
  SessionLock(const SessionLock&) = delete;
  SessionLock& operator=(const SessionLock&) = delete;
  bool Held() const;
  // The waiter ended the wait: the window that waited was closed.
  bool Stopped() const;
  // Why it is not held, for a person.
  std::string Refusal() const;

private:
  struct Mutex;
  std::unique_ptr<Mutex> m_mutex;
};
