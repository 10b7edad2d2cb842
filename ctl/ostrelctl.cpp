// ostrelctl on Windows: the console's stop handling, the device library, the
// adapter lock and the folder of the copies and the history, around the
// commands.
#include "console/ConsoleHold.h"
#include "console/ConsoleMain.h"
#include "ctl/CtlCommands.h"
#include "session/AdapterSession.h"
#include "session/SessionClock.h"
#include "session/SessionLock.h"

#include <memory>
#include <string>
#include <vector>

namespace {

class WindowsHost final : public CtlHost {
public:
  SessionSystem& System() override { return HostSessionSystem(); }
  const char* LoadDevice() override { return AdapterSession::Load(); }
  bool Lock(uint32_t waitMs, std::string& refusal) override {
    m_lock = std::make_unique<SessionLock>(waitMs, false);
    refusal = m_lock->Held() ? "" : m_lock->Refusal();
    return m_lock->Held();
  }
  void Unlock() override { m_lock.reset(); }
  std::string MovedFrom() override { return OstrelDataFolderMovedFrom(); }

private:
  std::unique_ptr<SessionLock> m_lock;
};

} // namespace

const char kConsoleProgram[] = "ostrelctl";

int Main(const std::vector<std::string>& args) {
  ConsoleStopsFromStart(std::string(kConsoleProgram) + ": " + kCtlStoppedUnwritten,
                        kCtlExitStoppedUnwritten);
  WindowsHost host;
  return CtlMain(args, host);
}
