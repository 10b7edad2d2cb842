#include "session/SessionClock.h"

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
  return true;
}
