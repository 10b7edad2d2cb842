#include "session/SessionClock.h"

#include "files/SystemFolder.h"
#include "files/WideText.h"

#include <windows.h>

ClockTime SystemClockNow() {
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

namespace {
std::string g_movedFrom;

// Before the programs opened the system folder through Sysnative, a 32-bit
// run as SYSTEM on 64-bit Windows kept its copies and history in the
// SysWOW64 profile. The first run that finds them there moves them where the
// printed paths say, unless that folder is there already.
void MoveFromSysWow64(const std::wstring& folder) {
  const std::wstring& windows = Wow64WindowsFolder();
  const std::wstring old = SystemFolderAs(folder, windows, L"SysWOW64");
  const std::wstring now = SystemFolderAs(folder, windows, L"Sysnative");
  if (old.empty() || ::GetFileAttributesW(old.c_str()) == INVALID_FILE_ATTRIBUTES ||
      ::GetFileAttributesW(now.c_str()) != INVALID_FILE_ATTRIBUTES)
    return;
  if (::MoveFileExW(old.c_str(), now.c_str(), MOVEFILE_WRITE_THROUGH))
    g_movedFrom = Utf8FromWide(old);
}
} // namespace

std::string OstrelDataFolderMovedFrom() {
  return g_movedFrom;
}

bool OstrelDataFolder(std::string& folder, std::string& error) {
  wchar_t local[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    error = "LOCALAPPDATA does not name a folder";
    return false;
  }
  // "C:\..." or "\\server\share\...": a path that starts from nowhere else.
  const bool drive = length >= 3 && local[1] == L':' && (local[2] == L'\\' || local[2] == L'/');
  const bool share = length >= 3 && local[0] == L'\\' && local[1] == L'\\';
  if (!drive && !share) {
    error = "LOCALAPPDATA is not an absolute path: " + Utf8FromWide(local);
    return false;
  }
  folder = Utf8FromWide(local) + "\\Ostrel";
  static const bool moved = (MoveFromSysWow64(std::wstring(local) + L"\\Ostrel"), true);
  (void)moved;
  return true;
}
