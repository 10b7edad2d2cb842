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

// `name` joined to `folder` (which ends at its separator) in g_fullPath; false
// if that does not fit.
bool Joined(const wchar_t* folder, std::size_t folderLength, const wchar_t* name) {
  const std::size_t nameLength = wcslen(name);
  if (folderLength == 0 || folderLength + nameLength >= kPathCapacity)
    return false;
  if (folder != g_fullPath)
    wmemcpy(g_fullPath, folder, folderLength);
  wmemcpy(g_fullPath + folderLength, name, nameLength + 1);
  return true;
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
  return Joined(g_fullPath, folder, name);
}

// `name` in the system folder (SysWOW64 for a 32-bit program on 64-bit
// Windows), in g_fullPath.
bool InSystemFolder(const wchar_t* name) {
  wchar_t folder[MAX_PATH + 1];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return false;
  folder[length] = L'\\';
  return Joined(folder, length + 1, name);
}

bool IsFile(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Where the library's own imports, and the libraries it loads itself later,
// are looked for: beside it, in the folders added below, in the system folder.
// Never the current directory or PATH.
constexpr DWORD kImportSearch =
    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32;

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD flags);
typedef DLL_DIRECTORY_COOKIE(WINAPI* AddDllDirectoryFunction)(PCWSTR folder);

// Restricts the process's library search, once; false where Windows lacks the
// functions (Windows 7 without KB2533623). A packet-capture driver keeps the
// libraries a device library may import in a folder of its own. A process
// default cannot name the folder of a library being loaded, so libraries that
// Kelvane.dll loads by name later are found in the program's folder instead.
bool RestrictSearch() {
  static const bool restricted = [] {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    const auto add = reinterpret_cast<AddDllDirectoryFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "AddDllDirectory")));
    if (setDefault == nullptr || add == nullptr)
      return false;
    wchar_t capture[MAX_PATH + 8];
    const UINT length = GetSystemDirectoryW(capture, MAX_PATH);
    if (length != 0 && length < MAX_PATH) {
      wmemcpy(capture + length, L"\\Npcap", 7);
      const DWORD attributes = GetFileAttributesW(capture);
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        add(capture);
    }
    setDefault(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
               LOAD_LIBRARY_SEARCH_SYSTEM32);
    return true;
  }();
  return restricted;
}

// The library's full path in g_fullPath: `name` itself when it is one, else
// the copy in the program's folder, else the one in the system folder. Where
// neither exists, the program's folder, for the loader to report.
bool FullPath(const wchar_t* name) {
  if (IsFullPath(name)) {
    const std::size_t length = wcslen(name);
    if (length >= kPathCapacity)
      return false;
    wmemcpy(g_fullPath, name, length + 1);
    return true;
  }
  if ((InProgramFolder(name) && IsFile(g_fullPath)) || (InSystemFolder(name) && IsFile(g_fullPath)))
    return true;
  return InProgramFolder(name);
}

HMODULE LoadRestricted(const wchar_t* name) {
  if (!FullPath(name)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (RestrictSearch()) {
    HMODULE module = g_kelvaneLoadLibraryExW(g_fullPath, nullptr, kImportSearch);
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER)
      return module;
  }
  // Windows without those search flags refuses them. The library is then
  // loaded by its full path from the program's folder, and its imports are
  // searched for beside it and along the standard path, current directory and
  // PATH included.
  if (!IsFullPath(name) && !InProgramFolder(name)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return g_kelvaneLoadLibraryExW(g_fullPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Kelvane.dll's own header, for a load that failed as "not a valid
// application": when it is a whole 32-bit x86 library, an import is to blame.
bool IsWholeX86LibraryFile(const wchar_t* path) {
  const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  // The headers of any library fit here.
  static uint8_t head[65536];
  LARGE_INTEGER size{};
  DWORD read = 0;
  const bool got = GetFileSizeEx(file, &size) && ReadFile(file, head, sizeof head, &read, nullptr);
  CloseHandle(file);
  return got && KelvaneIsWholeX86Library(head, read, static_cast<uint64_t>(size.QuadPart));
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
  if (error == ERROR_BAD_EXE_FORMAT && IsWholeX86LibraryFile(g_fullPath))
    return KelvaneLoadResult::NeedsNonX86Library;
  if (error == ERROR_BAD_EXE_FORMAT || error == ERROR_FILE_INVALID)
    return KelvaneLoadResult::NotWin32Library;
  // The library is there, so "not found" means one of its imports, or an
  // entry point one of them lacks.
  if ((error == ERROR_MOD_NOT_FOUND || error == ERROR_PROC_NOT_FOUND) && IsFile(g_fullPath))
    return KelvaneLoadResult::NeedsMissingLibrary;
  return KelvaneLoadResult::NotFound;
}
