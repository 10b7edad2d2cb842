#include "devicelib/KelvaneLibraryLoader.h"
#include "devicelib/KelvaneLibraryOpen.h"

#include <windows.h>

#include <cwchar>

KelvaneLoadLibraryExW g_kelvaneLoadLibraryExW = ::LoadLibraryExW;

namespace {

// Room for any path Windows takes. Static: the library is loaded once, from
// one thread, and a program this small should not grow by a string class.
constexpr DWORD kPathCapacity = 32768;
wchar_t g_name[kPathCapacity];
wchar_t g_fullPath[kPathCapacity];

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// "C:\..." or "\\server\...": a path that names its folder whatever the
// current directory.
bool IsFullPath(const wchar_t* path) {
  return (path[0] != L'\0' && path[1] == L':' && IsSeparator(path[2])) ||
         (IsSeparator(path[0]) && IsSeparator(path[1]));
}

// `name` in the folder of this program's executable, in g_fullPath; false if
// that cannot be had.
bool InProgramFolder(const wchar_t* name) {
  const DWORD length = GetModuleFileNameW(nullptr, g_fullPath, kPathCapacity);
  if (length == 0 || length >= kPathCapacity)
    return false;
  DWORD folder = length;
  while (folder > 0 && !IsSeparator(g_fullPath[folder - 1]))
    --folder;
  const std::size_t nameLength = wcslen(name);
  if (folder == 0 || folder + nameLength >= kPathCapacity)
    return false;
  wmemcpy(g_fullPath + folder, name, nameLength + 1);
  return true;
}

HMODULE LoadRestricted(const wchar_t* name) {
  // The program's own folder and the system folder only: a Kelvane.dll planted
  // in the current directory must never be loaded.
  HMODULE module = g_kelvaneLoadLibraryExW(
      name, nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER)
    return module;
  // Windows without those search flags refuses them. A bare name would then be
  // searched for in the current directory too, so the library is loaded by its
  // full path in the program's folder, its own dependencies from beside it.
  const wchar_t* full = name;
  if (!IsFullPath(name)) {
    if (!InProgramFolder(name)) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    full = g_fullPath;
  }
  return g_kelvaneLoadLibraryExW(full, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace

void* KelvaneResolveExport(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

KelvaneLoadResult KelvaneOpenLibrary(const char* path, void*& module) {
  if (path == nullptr)
    wmemcpy(g_name, L"Kelvane.dll", 12);
  else if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, g_name, kPathCapacity) <= 1)
    return KelvaneLoadResult::NotFound;
  module = LoadRestricted(g_name);
  if (module != nullptr)
    return KelvaneLoadResult::Loaded;
  // What a file that is there but is no 32-bit library gives: text, a 64-bit
  // library, a truncated one (Wine 8 and Windows), an empty one (Windows).
  const DWORD error = GetLastError();
  return error == ERROR_BAD_EXE_FORMAT || error == ERROR_FILE_INVALID
             ? KelvaneLoadResult::NotWin32Library
             : KelvaneLoadResult::NotFound;
}
