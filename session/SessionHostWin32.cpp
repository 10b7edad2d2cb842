// The session's Windows rim: the library's loading, the lock's mutex, the
// folders, the token's user, the clocks and the system's code page.
#include "session/SessionHostWin32.h"

#include "devicelib/AdapterLock.h"
#include "files/SystemFolder.h"
#include "files/WideText.h"

#include <windows.h>

#include <sddl.h>

namespace {

// The lock's waiter as the session defines it, handed to the mutex's wait.
class WindowsLock final : public SessionLock, AdapterLockWaiter {
public:
  WindowsLock(uint32_t waitMs, bool pumpMessages, SessionLockWaiter* waiter)
      : m_waiter(waiter), m_lock(waitMs, pumpMessages, waiter != nullptr ? this : nullptr) {}
  bool Held() const override { return m_lock.Held(); }
  bool Stopped() const override { return m_lock.Stopped(); }
  std::string Refusal() const override {
    if (m_lock.Unavailable())
      return "the adapter lock cannot be opened: " + SystemReason(m_lock.OpenError()) +
             "; another program has taken its name";
    return m_lock.Held() ? std::string() : "the adapter is in use by another program";
  }

private:
  bool TakeMessage(void* message) override { return m_waiter->TakeMessage(message); }
  bool StopWaiting() override { return m_waiter->StopWaiting(); }
  void StillWaiting() override { m_waiter->StillWaiting(); }

  SessionLockWaiter* m_waiter;
  AdapterLock m_lock;
};

// The folder an environment variable names, with "\Ostrel" joined, in UTF-8.
// False with `error` when it names no absolute folder: a relative one would
// give each current folder a history of its own.
bool OstrelFolderIn(const wchar_t* variable, std::wstring& folder, std::string& error) {
  wchar_t named[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(variable, named, MAX_PATH);
  const std::string name = Utf8FromWide(variable);
  if (length == 0 || length >= MAX_PATH) {
    error = name + " does not name a folder";
    return false;
  }
  // "C:\..." or "\\server\share\...": a path that starts from nowhere else.
  const bool drive = length >= 3 && named[1] == L':' && (named[2] == L'\\' || named[2] == L'/');
  const bool share = length >= 3 && named[0] == L'\\' && named[1] == L'\\';
  if (!drive && !share) {
    error = name + " is not an absolute path: " + Utf8FromWide(named);
    return false;
  }
  folder = std::wstring(named) + L"\\Ostrel";
  return true;
}

// Before the programs opened the system folder through Sysnative, a 32-bit
// run as SYSTEM on 64-bit Windows kept its copies and history in the
// SysWOW64 profile. The first run that finds them there moves them where the
// printed paths say, unless that folder is there already. Returns the folder
// moved from, or empty.
std::string MoveFromSysWow64(const std::wstring& folder) {
  const std::wstring& windows = Wow64WindowsFolder();
  const std::wstring old = SystemFolderAs(folder, windows, L"SysWOW64");
  const std::wstring now = SystemFolderAs(folder, windows, L"Sysnative");
  if (old.empty() || ::GetFileAttributesW(old.c_str()) == INVALID_FILE_ATTRIBUTES ||
      ::GetFileAttributesW(now.c_str()) != INVALID_FILE_ATTRIBUTES)
    return "";
  return ::MoveFileExW(old.c_str(), now.c_str(), MOVEFILE_WRITE_THROUGH) ? Utf8FromWide(old) : "";
}

} // namespace

const char* WindowsSessionHost::LoadDevice() {
  const KelvaneLoadResult loaded = m_library.Load();
  return loaded == KelvaneLoadResult::Loaded ? nullptr : KelvaneLoadResultText(loaded);
}

std::unique_ptr<SessionLock> WindowsSessionHost::Lock(uint32_t waitMs, bool pumpMessages,
                                                      SessionLockWaiter* waiter) {
  return std::make_unique<WindowsLock>(waitMs, pumpMessages, waiter);
}

bool WindowsSessionHost::DataFolder(std::string& folder, std::string& fault) {
  std::wstring local;
  if (!OstrelFolderIn(L"LOCALAPPDATA", local, fault))
    return false;
  folder = Utf8FromWide(local);
  if (!m_moveTried) {
    m_moveTried = true;
    m_movedFrom = MoveFromSysWow64(local);
  }
  return true;
}

bool WindowsSessionHost::SharedFolder(std::string& folder, std::string& fault) {
  std::wstring shared;
  if (!OstrelFolderIn(L"ProgramData", shared, fault))
    return false;
  folder = Utf8FromWide(shared);
  return true;
}

RunUser WindowsSessionHost::User() {
  RunUser user;
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
    return user;
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::string buffer(size, '\0');
  const auto* tokenUser = reinterpret_cast<const TOKEN_USER*>(buffer.data());
  if (size != 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    PSID sid = tokenUser->User.Sid;
    wchar_t* text = nullptr;
    if (::ConvertSidToStringSidW(sid, &text)) {
      user.sid = Utf8FromWide(text);
      ::LocalFree(text);
    }
    wchar_t name[256], domain[256];
    DWORD nameLength = 256, domainLength = 256;
    SID_NAME_USE use;
    if (::LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use))
      user.name = Utf8FromWide(std::wstring(domain) + L"\\" + name);
  }
  ::CloseHandle(token);
  return user;
}

ClockTime WindowsSessionHost::Now() {
  SYSTEMTIME now;
  ::GetSystemTime(&now);
  ClockTime time;
  time.year = now.wYear;
  time.month = now.wMonth;
  time.day = now.wDay;
  time.hour = now.wHour;
  time.minute = now.wMinute;
  time.second = now.wSecond;
  time.millisecond = now.wMilliseconds;
  return time;
}

uint32_t WindowsSessionHost::TickCount() {
  return ::GetTickCount();
}

std::string WindowsSessionHost::Utf8Of(std::string_view systemText) {
  return AnsiToUtf8(systemText);
}

bool WindowsSessionHost::IsWow64() {
  BOOL wow64 = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

void WindowsSessionHost::WaitForHeldFile(unsigned ms) {
  if (m_fileWait != nullptr)
    m_fileWait->WaitForHeldFile(ms);
  else
    ::Sleep(ms);
}
