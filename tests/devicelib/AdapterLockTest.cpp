// The computer-wide adapter lock against real named objects, and the rights
// it asks for through its open-or-create call.
#include "devicelib/AdapterLock.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>

#include <windows.h>

namespace {

constexpr wchar_t kName[] = L"Global\\Ostrel.Adapter";

// Free, held by another thread, or its name taken by an event: only the last
// is unavailable, and it is said at once rather than after the wait.
TEST(AdapterLock, BusyAndUnavailableAreToldApart) {
  enum class Name { Free, Held, Event };
  const struct {
    Name name;
    bool held;
    bool unavailable;
    DWORD error;
    DWORD minMs, maxMs;
  } cases[] = {
      {Name::Free, true, false, ERROR_SUCCESS, 0, 1000},
      {Name::Held, false, false, ERROR_SUCCESS, 280, 2000},
      {Name::Event, false, true, ERROR_INVALID_HANDLE, 0, 1000},
  };
  for (const auto& c : cases) {
    const int at = static_cast<int>(c.name);
    std::promise<void> taken, done;
    std::thread holder;
    if (c.name == Name::Held) {
      holder = std::thread([&] {
        const AdapterLock lock(0);
        taken.set_value();
        done.get_future().wait();
      });
      taken.get_future().wait();
    }
    const HANDLE squatter =
        c.name == Name::Event ? ::CreateEventW(nullptr, TRUE, FALSE, kName) : nullptr;
    const DWORD start = ::GetTickCount();
    {
      const AdapterLock lock(c.name == Name::Held ? 300 : 5000);
      const DWORD elapsed = ::GetTickCount() - start;
      EXPECT_EQ(lock.Held(), c.held) << at;
      EXPECT_EQ(lock.Unavailable(), c.unavailable) << at;
      EXPECT_EQ(lock.OpenError(), c.error) << at;
      EXPECT_GE(elapsed, c.minMs) << at;
      EXPECT_LE(elapsed, c.maxMs) << at;
    }
    if (squatter != nullptr)
      ::CloseHandle(squatter);
    if (holder.joinable()) {
      done.set_value();
      holder.join();
    }
  }
}

struct CreateCall {
  bool hasDescriptor;
  std::wstring name;
  unsigned long flags, access;
} g_call;

void* RefuseCreate(void* attributes, const wchar_t* name, unsigned long flags,
                   unsigned long access) {
  g_call = {static_cast<SECURITY_ATTRIBUTES*>(attributes)->lpSecurityDescriptor != nullptr, name,
            flags, access};
  ::SetLastError(ERROR_ACCESS_DENIED);
  return nullptr;
}

// One open-or-create that asks only to wait and release, which the lock's
// own descriptor grants everyone; a refusal is unavailable, with its error.
TEST(AdapterLock, AsksForWaitAndReleaseOnlyAndReportsARefusal) {
  const AdapterMutexCreateFn real = g_adapterMutexCreate;
  g_adapterMutexCreate = &RefuseCreate;
  const AdapterLock lock(5000);
  g_adapterMutexCreate = real;
  EXPECT_TRUE(g_call.hasDescriptor);
  EXPECT_EQ(g_call.name, kName);
  EXPECT_EQ(g_call.flags, 0u);
  EXPECT_EQ(g_call.access, static_cast<unsigned long>(SYNCHRONIZE | MUTEX_MODIFY_STATE));
  EXPECT_FALSE(lock.Held());
  EXPECT_TRUE(lock.Unavailable());
  EXPECT_EQ(lock.OpenError(), static_cast<unsigned long>(ERROR_ACCESS_DENIED));
}

} // namespace
