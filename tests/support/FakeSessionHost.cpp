#include "FakeSessionHost.h"

namespace {

class FakeLock final : public SessionLock {
public:
  explicit FakeLock(FakeSessionHost& host) : m_host(host) { m_host.held = m_host.free; }
  ~FakeLock() override { m_host.held = false; }
  bool Held() const override { return m_host.free; }
  bool Stopped() const override { return false; }
  std::string Refusal() const override { return m_host.free ? "" : "in use"; }

private:
  FakeSessionHost& m_host;
};

bool Folder(const std::string& named, std::string& path, std::string& fault) {
  path = named;
  fault = named.empty() ? "no folder here" : "";
  return !named.empty();
}

} // namespace

std::unique_ptr<SessionLock> FakeSessionHost::Lock(uint32_t, bool, SessionLockWaiter*) {
  return std::make_unique<FakeLock>(*this);
}

bool FakeSessionHost::DataFolder(std::string& path, std::string& fault) {
  return Folder(folder, path, fault);
}

bool FakeSessionHost::SharedFolder(std::string& path, std::string& fault) {
  return Folder("", path, fault);
}
