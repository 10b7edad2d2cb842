#pragma once
// The host of the native tests: the fake device library, a library that
// loads or not, a lock that is free or not, a clock that moves a millisecond
// a call, a data folder a test may take away, and system text that is UTF-8
// already.

#include "FakeDeviceLibrary.h"
#include "session/SessionHost.h"

#include <string>

class FakeSessionHost final : public SessionHost {
public:
  explicit FakeSessionHost(FakeDeviceLibrary& library) : m_library(library) {}

  const char* LoadDevice() override { return loads ? nullptr : "Kelvane.dll: not found"; }
  DeviceCalls& Device() override { return m_library.Device(); }
  std::unique_ptr<SessionLock> Lock(uint32_t waitMs, bool pumpMessages,
                                    SessionLockWaiter* waiter) override;
  bool DataFolder(std::string& path, std::string& fault) override;
  std::string DataFolderMovedFrom() override { return movedFrom; }
  // No test asks for a shared folder or the user: the system names neither.
  bool SharedFolder(std::string& path, std::string& fault) override;
  RunUser User() override { return {}; }
  ClockTime Now() override { return {2026, 12, 8, 7, 21, 31, ticks++}; }
  uint32_t TickCount() override { return ticks; }
  std::string Utf8Of(std::string_view systemText) override { return std::string(systemText); }
  bool IsWow64() override { return false; }
  void WaitForHeldFile(unsigned) override {}

  bool loads = true;
  bool free = true;
  // Whether a lock that was taken is held still.
  bool held = false;
  unsigned ticks = 0;
  std::string folder; // empty: the system names no folder
  std::string movedFrom;

private:
  FakeDeviceLibrary& m_library;
};
