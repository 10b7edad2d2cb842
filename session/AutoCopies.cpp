#include "session/AutoCopies.h"

#include "files/WideText.h"
#include "files/WriteFile.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr char kSuffix[] = ".ostrel";
// "20261208-072131-123_": the time part of a copy's name.
constexpr std::size_t kTimeLength = 20;

bool IsDigits(const std::string& text, std::size_t from, std::size_t count) {
  for (std::size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9')
      return false;
  }
  return true;
}

// Whether `name` is one of our copies of `key`.
bool IsCopyOf(const std::string& name, const std::string& key) {
  const std::string tail = key + kSuffix;
  return name.size() == kTimeLength + tail.size() && name.compare(kTimeLength, tail.size(), tail) == 0 &&
         IsDigits(name, 0, 8) && name[8] == '-' && IsDigits(name, 9, 6) && name[15] == '-' &&
         IsDigits(name, 16, 3) && name[19] == '_';
}

// Our copies of `key` in `folder`, oldest first.
std::vector<std::string> CopiesOf(const std::string& folder, const std::string& key) {
  std::vector<std::string> names;
  std::wstring pattern;
  std::string error;
  if (!WidePath(folder + "\\*" + key + kSuffix, pattern, error))
    return names;
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return names;
  do {
    const std::string name = Utf8FromWide(found.cFileName);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && IsCopyOf(name, key))
      names.push_back(name);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::string CopyName(const SYSTEMTIME& time, const std::string& key) {
  char name[32];
  std::snprintf(name, sizeof name, "%04u%02u%02u-%02u%02u%02u-%03u_", time.wYear, time.wMonth,
                time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
  return name + key + kSuffix;
}

} // namespace

bool OstrelDataFolder(std::string& folder, std::string& error) {
  wchar_t local[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    error = "LOCALAPPDATA does not name a folder";
    return false;
  }
  folder = Utf8FromWide(local) + "\\Ostrel";
  return true;
}

bool MakeFolders(const std::string& folder, std::string& error) {
  std::wstring wide;
  if (!WidePath(folder, wide, error))
    return false;
  if (::CreateDirectoryW(wide.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS)
    return true;
  const DWORD code = ::GetLastError();
  const std::size_t parent = folder.find_last_of('\\');
  if (code != ERROR_PATH_NOT_FOUND || parent == std::string::npos || parent == 0 ||
      !MakeFolders(folder.substr(0, parent), error)) {
    if (error.empty())
      error = SystemReason(code);
    return false;
  }
  if (::CreateDirectoryW(wide.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS)
    return true;
  error = SystemReason(::GetLastError());
  return false;
}

std::string CopyAdapterKey(const PowerSaveCopy& copy) {
  if (copy.kind != BackupKind::NvmImage)
    return "broadcom";
  char key[2 * kPibAddressSize + 1];
  for (std::size_t i = 0; i < kPibAddressSize; ++i)
    std::snprintf(key + 2 * i, 3, "%02x", copy.address[i]);
  return key;
}

bool SaveAutoCopy(const std::string& folder, const std::string& key,
                  const std::vector<uint8_t>& file, std::string& path, std::string& error) {
  if (!MakeFolders(folder, error))
    return false;
  SYSTEMTIME now;
  ::GetSystemTime(&now);
  // Two copies in one millisecond: the later is named a millisecond on, so
  // that the names still sort by when they were taken.
  for (int tries = 0; tries < 1000; ++tries) {
    path = folder + "\\" + CopyName(now, key);
    switch (WriteFileWhole(path, file, false, error)) {
    case WriteFileResult::Written: {
      const std::vector<std::string> names = CopiesOf(folder, key);
      for (std::size_t i = 0; i + kCopiesKept < names.size(); ++i) {
        std::wstring old;
        if (WidePath(folder + "\\" + names[i], old, error))
          ::DeleteFileW(old.c_str());
      }
      error.clear();
      return true;
    }
    case WriteFileResult::Exists:
      if (++now.wMilliseconds == 1000) {
        now.wMilliseconds = 0;
        ++now.wSecond; // a name only; never read back as a time
      }
      break;
    case WriteFileResult::Failed:
      return false;
    }
  }
  error = "no free name for the copy";
  return false;
}

bool NewestAutoCopy(const std::string& folder, const std::string& key, std::string& path) {
  const std::vector<std::string> names = CopiesOf(folder, key);
  if (names.empty())
    return false;
  path = folder + "\\" + names.back();
  return true;
}
