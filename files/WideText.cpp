#include "files/WideText.h"

#ifdef _WIN32
#include "files/SystemFolder.h"

#include <windows.h>

#include <climits>
#include <cwchar>

namespace {

// A folder's limit is 12 characters below MAX_PATH (room for an 8.3 name);
// from there on the long form is used for files and folders alike.
constexpr std::size_t kLongPath = MAX_PATH - 12;

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

} // namespace

const std::wstring& Wow64WindowsFolder() {
  static const std::wstring folder = [] {
    BOOL wow64 = FALSE;
    wchar_t windows[MAX_PATH];
    const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (!::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64 || length == 0 ||
        length >= MAX_PATH)
      return std::wstring();
    return std::wstring(windows, length);
  }();
  return folder;
}

bool WideFromUtf8(const std::string& utf8, std::wstring& wide) {
  wide.clear();
  if (utf8.empty())
    return true;
  if (utf8.size() > INT_MAX)
    return false;
  const int size = static_cast<int>(utf8.size());
  const int length =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (length <= 0)
    return false;
  wide.resize(static_cast<std::size_t>(length));
  return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(),
                               length) == length;
}

namespace {

bool ToUtf8(const std::wstring& wide, DWORD flags, std::string& utf8) {
  utf8.clear();
  if (wide.empty())
    return true;
  if (wide.size() > INT_MAX / 3)
    return false;
  const int size = static_cast<int>(wide.size());
  const int length =
      ::WideCharToMultiByte(CP_UTF8, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0)
    return false;
  utf8.resize(static_cast<std::size_t>(length));
  return ::WideCharToMultiByte(CP_UTF8, flags, wide.data(), size, utf8.data(), length, nullptr,
                               nullptr) == length;
}

} // namespace

std::string Utf8FromWide(const std::wstring& wide) {
  std::string utf8;
  return ToUtf8(wide, 0, utf8) ? utf8 : std::string();
}

bool Utf8FromWideExactly(const std::wstring& wide, std::string& utf8) {
  return ToUtf8(wide, WC_ERR_INVALID_CHARS, utf8);
}

bool WidePath(const std::string& path, std::wstring& wide, std::string& error) {
  if (!WideFromUtf8(path, wide)) {
    error = "the path is not valid UTF-8";
    return false;
  }
  if (wide.empty() || StartsWith(wide, L"\\\\?\\"))
    return true;
  // The full path decides: a short relative path may name a long one.
  const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  const DWORD length = size == 0 ? 0 : ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) {
    error = SystemReason(length == 0 ? ::GetLastError() : ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  full.resize(length);
  // What the printed path names, not the 32-bit view of it.
  const std::wstring native = SystemFolderAs(full, Wow64WindowsFolder(), L"Sysnative");
  if (!native.empty())
    wide = full = native;
  if (full.size() < kLongPath)
    return true;
  if (StartsWith(full, L"\\\\.\\"))
    wide = L"\\\\?\\" + full.substr(4);
  else if (StartsWith(full, L"\\\\"))
    wide = L"\\\\?\\UNC\\" + full.substr(2);
  else
    wide = L"\\\\?\\" + full;
  return true;
}

std::string SystemReason(unsigned long code) {
  wchar_t text[512];
  DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, text, sizeof text / sizeof text[0], nullptr);
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' ||
                        text[length - 1] == L' ' || text[length - 1] == L'.'))
    --length;
  return length > 0 ? Utf8FromWide(std::wstring(text, length))
                    : "system error " + std::to_string(code);
}

std::string AnsiToUtf8(std::string_view text) {
  // Each byte of the code page gives at most one UTF-16 unit.
  const int size = static_cast<int>(text.size());
  std::wstring wide(text.size(), L'\0');
  wide.resize(static_cast<std::size_t>(
      ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), size)));
  return Utf8FromWide(wide);
}

#endif
