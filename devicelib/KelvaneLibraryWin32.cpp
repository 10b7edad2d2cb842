#include "devicelib/KelvaneLibrary.h"

#include "devicelib/KelvaneEntryPoints.h"
#include "devicelib/KelvaneLibraryLoader.h"

#include <windows.h>

#include <string>

KelvaneLoadLibraryExW g_kelvaneLoadLibraryExW = ::LoadLibraryExW;

namespace {

HMODULE g_module = nullptr;
KelvaneLoadResult g_loaded = KelvaneLoadResult::NotFound;

void* ResolveExport(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

std::wstring Widen(const char* utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
  if (length <= 1)
    return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, &wide[0], length);
  wide.resize(static_cast<std::size_t>(length - 1));
  return wide;
}

// The folder of this program's executable, without a trailing separator;
// empty if it cannot be read.
std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0)
      return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= 32768)
      return std::wstring();
    path.resize(path.size() * 2);
  }
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// "C:\..." or "\\server\...": a path that names its folder whatever the
// current directory.
bool IsFullPath(const std::wstring& path) {
  return (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2])) ||
         (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]));
}

HMODULE LoadRestricted(const std::wstring& name) {
  // The program's own folder and the system folder only: a Kelvane.dll planted
  // in the current directory must never be loaded.
  HMODULE module = g_kelvaneLoadLibraryExW(
      name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER)
    return module;
  // Windows without those search flags refuses them. A bare name would then be
  // searched for in the current directory too, so the library is loaded by its
  // full path in the program's folder, its own dependencies from beside it.
  std::wstring full = name;
  if (!IsFullPath(name)) {
    const std::wstring folder = ProgramFolder();
    if (folder.empty()) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    full = folder + L"\\" + name;
  }
  return g_kelvaneLoadLibraryExW(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace

KelvaneLoadResult KelvaneLoad(const char* path) {
  if (g_module != nullptr)
    return g_loaded;
  const std::wstring name = path != nullptr ? Widen(path) : std::wstring(L"Kelvane.dll");
  if (name.empty())
    return KelvaneLoadResult::NotFound;
  HMODULE module = LoadRestricted(name);
  if (module == nullptr) {
    const DWORD error = GetLastError();
    // What a file that is there but is no 32-bit library gives: text, a 64-bit
    // library, a truncated one (Wine 8 and Windows), an empty one (Windows).
    if (error == ERROR_BAD_EXE_FORMAT || error == ERROR_FILE_INVALID)
      return KelvaneLoadResult::NotWin32Library;
    return KelvaneLoadResult::NotFound;
  }
  g_module = module;
  KelvaneBindEntryPoints(g_kelvane, ResolveExport, module);
  g_loaded =
      g_kelvane.GetPLCType != nullptr ? KelvaneLoadResult::Loaded : KelvaneLoadResult::NoGetPLCType;
  return g_loaded;
}
