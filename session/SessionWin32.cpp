// The session's Windows rim: the lock's mutex, the library's loading, and
// the system's clock, %LOCALAPPDATA% and code page.
#include "session/AdapterSession.h"
#include "session/SessionClock.h"
#include "session/SessionLock.h"

#include "devicelib/AdapterLock.h"
#include "devicelib/KelvaneLibrary.h"
#include "files/WideText.h"

namespace {

class WindowsSystem final : public SessionSystem {
public:
  ClockTime Now() override { return SystemClockNow(); }
  bool DataFolder(std::string& folder, std::string& fault) override {
    return OstrelDataFolder(folder, fault);
  }
  std::string Utf8Of(std::string_view systemText) override { return AnsiToUtf8(systemText); }
};

} // namespace

SessionSystem& HostSessionSystem() {
  static WindowsSystem system;
  return system;
}

const char* AdapterSession::Load() {
  const KelvaneLoadResult loaded = KelvaneLoad();
  return loaded == KelvaneLoadResult::Loaded ? nullptr : KelvaneLoadResultText(loaded);
}

// The lock's waiter as the session defines it, handed to the mutex's wait.
struct SessionLock::Mutex final : AdapterLockWaiter {
  Mutex(uint32_t waitMs, bool pumpMessages, SessionLockWaiter* waiter)
      : waiter(waiter), lock(waitMs, pumpMessages, waiter != nullptr ? this : nullptr) {}
  bool TakeMessage(void* message) override { return waiter->TakeMessage(message); }
  bool StopWaiting() override { return waiter->StopWaiting(); }
  void StillWaiting() override { waiter->StillWaiting(); }

  SessionLockWaiter* waiter;
  AdapterLock lock;
};

SessionLock::SessionLock(uint32_t waitMs, bool pumpMessages, SessionLockWaiter* waiter)
    : m_mutex(std::make_unique<Mutex>(waitMs, pumpMessages, waiter)) {}

SessionLock::~SessionLock() = default;

bool SessionLock::Held() const {
  return m_mutex->lock.Held();
}

bool SessionLock::Stopped() const {
  return m_mutex->lock.Stopped();
}

std::string SessionLock::Refusal() const {
  const AdapterLock& lock = m_mutex->lock;
  if (lock.Unavailable())
    return "the adapter lock cannot be opened: " + SystemReason(lock.OpenError()) +
           "; another program has taken its name";
  return lock.Held() ? std::string() : "the adapter is in use by another program";
}
