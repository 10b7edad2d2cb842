#pragma once
// One program at the adapter at a time: the computer-wide adapter lock, as
// the front ends take it from their host.

#include <cstdint>
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

// The lock as a wait for it left it: held while the object lives, released
// on the thread that took it.
class SessionLock {
public:
  virtual ~SessionLock() = default;
  virtual bool Held() const = 0;
  // The waiter ended the wait: the window that waited was closed.
  virtual bool Stopped() const = 0;
  // Why it is not held, for a person.
  virtual std::string Refusal() const = 0;
};
