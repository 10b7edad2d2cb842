#pragma once
// The host on Windows, for both front ends.

#include "devicelib/KelvaneLibrary.h"
#include "session/SessionHost.h"

class WindowsSessionHost final : public SessionHost {
public:
  // `fileWait`, when given, waits for a held file instead of a sleep: the
  // dialog reads its thread's messages meanwhile.
  explicit WindowsSessionHost(HeldFileWait* fileWait = nullptr) : m_fileWait(fileWait) {}

  const char* LoadDevice() override;
  DeviceCalls& Device() override { return m_library.Calls(); }
  std::unique_ptr<SessionLock> Lock(uint32_t waitMs, bool pumpMessages,
                                    SessionLockWaiter* waiter) override;
  bool DataFolder(std::string& folder, std::string& fault) override;
  std::string DataFolderMovedFrom() override { return m_movedFrom; }
  bool SharedFolder(std::string& folder, std::string& fault) override;
  RunUser User() override;
  ClockTime Now() override;
  uint32_t TickCount() override;
  std::string Utf8Of(std::string_view systemText) override;
  bool IsWow64() override;
  void WaitForHeldFile(unsigned ms) override;

private:
  KelvaneLibrary m_library;
  HeldFileWait* m_fileWait;
  bool m_moveTried = false;
  std::string m_movedFrom;
};
