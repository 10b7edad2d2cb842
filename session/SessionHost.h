#pragma once
// What the dialog and ostrelctl ask of the computer they run on: the device
// library, the adapter lock, the folders, the run's user, the clocks, the
// wait for a held file and the system's text. Windows answers in one rim
// (SessionHostWin32.cpp); the native tests answer with a fake.

#include "devicelib/DeviceCalls.h"
#include "files/WriteFile.h"
#include "session/ClockTime.h"
#include "session/SessionLock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The Windows user a run is; both empty when the system does not say.
struct RunUser {
  std::string sid;  // "S-1-5-21-..."
  std::string name; // "DOMAIN\user", UTF-8
};

class SessionHost : public HeldFileWait {
public:
  // Loads the device library, once: null when loaded, else the line for a
  // person that says what went wrong.
  virtual const char* LoadDevice() = 0;
  // The library's calls; before a load each returns 0.
  virtual DeviceCalls& Device() = 0;
  // Waits up to `waitMs` for the computer-wide adapter lock. With
  // `pumpMessages` the thread's windows keep painting and answering, and
  // `waiter`, when given, takes part.
  virtual std::unique_ptr<SessionLock> Lock(uint32_t waitMs, bool pumpMessages,
                                            SessionLockWaiter* waiter = nullptr) = 0;

  // The folder that holds the user's copies and history, in UTF-8. False
  // with `fault` when the system names none that may be used.
  virtual bool DataFolder(std::string& folder, std::string& fault) = 0;
  // The folder from which this run moved the copies and the history to
  // DataFolder, or empty.
  virtual std::string DataFolderMovedFrom() = 0;
  // The computer's folder shared by all its users, in UTF-8. False with
  // `fault` as DataFolder.
  virtual bool SharedFolder(std::string& folder, std::string& fault) = 0;
  // The user this run is, from the process's token.
  virtual RunUser User() = 0;

  virtual ClockTime Now() = 0;
  // Milliseconds from an arbitrary start, wrapping as a 32-bit count does.
  virtual uint32_t TickCount() = 0;
  // Text in the system's code page, as the device library and the system's
  // messages give it, in UTF-8.
  virtual std::string Utf8Of(std::string_view systemText) = 0;
  // Whether this 32-bit program runs on 64-bit Windows.
  virtual bool IsWow64() = 0;

protected:
  ~SessionHost() = default;
};
