// The adapter lock against real named objects, and the rights it asks for.
#include "devicelib/AdapterLock.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include <windows.h>

namespace {

AdapterMutexCreateFn g_realCreate;
bool g_refuse;
unsigned long g_access;

void* RecordCreate(void* attributes, const wchar_t* name, unsigned long flags,
                   unsigned long access) {
  g_access = access;
  if (!g_refuse)
    return g_realCreate(attributes, name, flags, access);
  ::SetLastError(ERROR_ACCESS_DENIED); // as a closed descriptor would
  return nullptr;
}

// Free, held by another thread, its name taken by an event, or refused: the
// last two are unavailable, and say so at once rather than after the wait.
TEST(AdapterLock, BusyAndUnavailableAreToldApart) {
  enum Name { Free, Busy, Event, Refused };
  const struct {
    Name name;
    bool held, unavailable;
    DWORD error, minMs, maxMs;
  } cases[] = {{Free, true, false, 0, 0, 4000},
               {Busy, false, false, 0, 280, 4000},
               {Event, false, true, ERROR_INVALID_HANDLE, 0, 4000},
               {Refused, false, true, ERROR_ACCESS_DENIED, 0, 4000}};
  g_realCreate = g_adapterMutexCreate;
  g_adapterMutexCreate = &RecordCreate;
  for (const auto& c : cases) {
    const std::unique_ptr<AdapterLock> holder(c.name == Busy ? new AdapterLock(0) : nullptr);
    const HANDLE event =
        c.name == Event ? ::CreateEventW(nullptr, TRUE, FALSE, L"Global\\Ostrel.Adapter") : nullptr;
    g_refuse = c.name == Refused;
    // A thread of its own: a mutex its holder's thread asks for again is granted.
    std::thread([&] {
      const DWORD start = ::GetTickCount();
      // Bounds wide enough for a loaded machine, yet below the 5 s that a
      // wait which should not happen would take.
      const AdapterLock lock(c.name == Busy ? 300 : 5000);
      const DWORD elapsed = ::GetTickCount() - start;
      EXPECT_EQ(lock.Held(), c.held) << c.name;
      EXPECT_EQ(lock.Unavailable(), c.unavailable) << c.name;
      EXPECT_EQ(lock.OpenError(), c.error) << c.name;
      EXPECT_TRUE(elapsed >= c.minMs && elapsed <= c.maxMs) << c.name << ": " << elapsed;
      EXPECT_EQ(g_access, static_cast<unsigned long>(SYNCHRONIZE | MUTEX_MODIFY_STATE));
    }).join();
    if (event != nullptr)
      ::CloseHandle(event);
  }
  g_adapterMutexCreate = g_realCreate;
}

} // namespace
