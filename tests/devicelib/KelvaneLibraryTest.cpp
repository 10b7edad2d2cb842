// Loading the device library: what each failure reports, and on Windows where
// the loader looks when the restricted search is refused. A process loads the
// library once, so each platform's one successful load is the last test here.

#include "devicelib/KelvaneLibrary.h"
#include "devicelib/KelvaneCalls.h"
#include "devicelib/KelvaneEntryPoints.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include "devicelib/KelvaneLibraryLoader.h"

#include <windows.h>

#include <cstring>
#else
#include <filesystem>
#include <fstream>
#endif

namespace {

#ifdef _WIN32
// The library by its full path; its imports beside it, in the folders added
// to the search, or in the system folder.
constexpr DWORD kRestricted =
    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32;
// In a script: hand the call on to the system.
constexpr DWORD kPassOn = ~DWORD{0};

struct LoaderCall {
  std::wstring name;
  DWORD flags;
};

// Answers the loader's first and second calls as told, and records them.
struct ScriptedLoader {
  static DWORD flaggedError;
  static DWORD fallbackError;
  static std::vector<LoaderCall> calls;

  static HMODULE WINAPI Load(LPCWSTR name, HANDLE file, DWORD flags) {
    calls.push_back({name, flags});
    const DWORD error = calls.size() == 1 ? flaggedError : fallbackError;
    if (error == kPassOn)
      return ::LoadLibraryExW(name, file, flags);
    SetLastError(error);
    return nullptr;
  }

  ScriptedLoader(DWORD flagged, DWORD fallback) {
    flaggedError = flagged;
    fallbackError = fallback;
    calls.clear();
    g_kelvaneLoadLibraryExW = Load;
  }
  ~ScriptedLoader() { g_kelvaneLoadLibraryExW = ::LoadLibraryExW; }
};
DWORD ScriptedLoader::flaggedError;
DWORD ScriptedLoader::fallbackError;
std::vector<LoaderCall> ScriptedLoader::calls;

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  const std::wstring exe(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return exe.substr(0, exe.find_last_of(L'\\'));
}

struct FallbackCase {
  const char* path;    // as KelvaneLoad takes it, UTF-8
  const wchar_t* name; // as the loader is asked for it, but for the folder
  DWORD flaggedError;
  DWORD fallbackError;
  bool inProgramFolder; // the name is joined to the program's folder
  KelvaneLoadResult result;
};

// Only a refusal of the search flags falls back; both calls name a full path
// and never search for a bare name. A Kelvane.dll lies beside this program, so
// a missing module or entry point there is one of its imports.
const FallbackCase kFallbackCases[] = {
    {nullptr, L"Kelvane.dll", ERROR_MOD_NOT_FOUND, 0, true, KelvaneLoadResult::NeedsMissingLibrary},
    {nullptr, L"Kelvane.dll", ERROR_PROC_NOT_FOUND, 0, true,
     KelvaneLoadResult::NeedsMissingLibrary},
    {nullptr, L"Kelvane.dll", ERROR_ACCESS_DENIED, 0, true, KelvaneLoadResult::NotFound},
    {nullptr, L"Kelvane.dll", ERROR_BAD_EXE_FORMAT, 0, true, KelvaneLoadResult::NotWin32Library},
    {nullptr, L"Kelvane.dll", ERROR_FILE_INVALID, 0, true, KelvaneLoadResult::NotWin32Library},
    {nullptr, L"Kelvane.dll", ERROR_INVALID_PARAMETER, ERROR_MOD_NOT_FOUND, true,
     KelvaneLoadResult::NeedsMissingLibrary},
    {nullptr, L"Kelvane.dll", ERROR_INVALID_PARAMETER, ERROR_BAD_EXE_FORMAT, true,
     KelvaneLoadResult::NotWin32Library},
    {nullptr, L"Kelvane.dll", ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER, true,
     KelvaneLoadResult::NotFound},
    {"Ostrel-absent.dll", L"Ostrel-absent.dll", ERROR_MOD_NOT_FOUND, 0, true,
     KelvaneLoadResult::NotFound},
    {u8"C:\\Gerät\\Kelvane.dll", L"C:\\Ger\u00e4t\\Kelvane.dll", ERROR_INVALID_PARAMETER,
     ERROR_MOD_NOT_FOUND, false, KelvaneLoadResult::NotFound},
    {u8"\\\\server\\共有\\Kelvane.dll", L"\\\\server\\\u5171\u6709\\Kelvane.dll",
     ERROR_INVALID_PARAMETER, ERROR_MOD_NOT_FOUND, false, KelvaneLoadResult::NotFound},
    {"vendor\\Kelvane.dll", L"vendor\\Kelvane.dll", ERROR_INVALID_PARAMETER, ERROR_MOD_NOT_FOUND,
     true, KelvaneLoadResult::NotFound},
};

TEST(KelvaneLibrary, FallsBackToTheProgramsFolderOnlyWhenTheSearchFlagsAreRefused) {
  g_kelvane = {};
  for (const FallbackCase& c : kFallbackCases) {
    SCOPED_TRACE(std::string(c.path != nullptr ? c.path : "(default)") + " refused with " +
                 std::to_string(c.flaggedError));
    const ScriptedLoader loader(c.flaggedError, c.fallbackError);
    const KelvaneLoadResult result = KelvaneLoad(c.path);
    EXPECT_EQ(result, c.result) << KelvaneLoadResultText(result);
    EXPECT_EQ(g_kelvane.GetPLCType, nullptr);

    const auto& calls = ScriptedLoader::calls;
    ASSERT_EQ(calls.size(), c.flaggedError == ERROR_INVALID_PARAMETER ? 2u : 1u);
    const std::wstring full = c.inProgramFolder ? ProgramFolder() + L"\\" + c.name : c.name;
    EXPECT_EQ(calls[0].name, full);
    EXPECT_EQ(calls[0].flags, kRestricted);
    if (calls.size() == 2) {
      EXPECT_EQ(calls[1].name, full);
      EXPECT_EQ(calls[1].flags, static_cast<DWORD>(LOAD_WITH_ALTERED_SEARCH_PATH));
    }
  }
}

TEST(KelvaneLibrary, AFallbackLoadsTheLibraryBesideTheProgramOnce) {
  const ScriptedLoader loader(ERROR_INVALID_PARAMETER, kPassOn);
  const KelvaneLoadResult result = KelvaneLoad();
  ASSERT_EQ(result, KelvaneLoadResult::Loaded) << KelvaneLoadResultText(result);
  ASSERT_EQ(ScriptedLoader::calls.size(), 2u);

  const std::wstring beside = ProgramFolder() + L"\\Kelvane.dll";
  HMODULE module = GetModuleHandleW(beside.c_str());
  ASSERT_NE(module, nullptr);
  const void* bound = nullptr;
  std::memcpy(&bound, &g_kelvane.GetPLCType, sizeof bound);
  EXPECT_EQ(bound, reinterpret_cast<const void*>(GetProcAddress(module, "GetPLCType")));

  EXPECT_EQ(KelvaneLoad(), KelvaneLoadResult::Loaded);
  EXPECT_EQ(ScriptedLoader::calls.size(), 2u) << "loaded again";
  g_kelvane = {};
}
#else
TEST(KelvaneLibrary, AnythingDlopenRefusesIsNotFound) {
  g_kelvane = {};
  const std::filesystem::path garbage =
      std::filesystem::temp_directory_path() / "ostrel-garbage-Kelvane.so";
  std::ofstream(garbage) << "not a library\n";
  for (const char* path : {"/nonexistent/Kelvane.so", garbage.c_str()}) {
    const KelvaneLoadResult result = KelvaneLoad(path);
    EXPECT_EQ(result, KelvaneLoadResult::NotFound) << path << ": " << KelvaneLoadResultText(result);
  }
  std::filesystem::remove(garbage);
  EXPECT_EQ(KelvaneLoad(), KelvaneLoadResult::NotFound) << "no default name";
  EXPECT_EQ(g_kelvane.GetPLCType, nullptr);
}

TEST(KelvaneLibrary, ALibraryWithoutGetPLCTypeStaysLoadedAndBound) {
  g_kelvane = {};
  const KelvaneLoadResult result = KelvaneLoad(KELVANE_NO_PLCTYPE_LIBRARY);
  ASSERT_EQ(result, KelvaneLoadResult::NoGetPLCType) << KelvaneLoadResultText(result);
  EXPECT_EQ(KelvaneResetLocalDev(), 7);
  EXPECT_EQ(KelvaneGetPLCType(), 0);
  EXPECT_EQ(KelvaneLoad("/nonexistent/Kelvane.so"), KelvaneLoadResult::NoGetPLCType)
      << "a later call loads nothing";
  g_kelvane = {};
}
#endif

#ifdef OSTREL_README
// Users look up what ostrelctl said in the README's troubleshooting: every
// failed load's words stand there as ostrelctl prints them.
TEST(KelvaneLibrary, TheReadmeQuotesEveryFailedLoadsWords) {
  std::ifstream in(OSTREL_README);
  std::string readme, word;
  while (in >> word)
    readme += word + " ";
  ASSERT_FALSE(readme.empty());
  for (KelvaneLoadResult result :
       {KelvaneLoadResult::NotFound, KelvaneLoadResult::NotWin32Library,
        KelvaneLoadResult::NoGetPLCType, KelvaneLoadResult::NeedsMissingLibrary}) {
    const std::string quoted = std::string("\"ostrelctl: ") + KelvaneLoadResultText(result) + "\"";
    EXPECT_NE(readme.find(quoted), std::string::npos) << quoted;
  }
}
#endif

} // namespace
