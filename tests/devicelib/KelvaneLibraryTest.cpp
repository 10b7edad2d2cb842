// Loading the device library: what each failure reports, and on Windows where
// the loader looks when the restricted search is refused. A loaded library is
// never unloaded, so each platform's one successful load is the last test here.

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
  const char* path;    // as KelvaneLibrary::Load takes it, UTF-8
  const wchar_t* name; // as the loader is asked for it, but for the folder
  DWORD flaggedError;
  DWORD fallbackError;
  bool inProgramFolder; // the name is joined to the program's folder
  KelvaneLoadResult result;
};

using R = KelvaneLoadResult;

// Only a refusal of the search flags falls back; both calls name a full path
// and never search for a bare name. A Kelvane.dll lies beside this program, so
// a missing module or entry point there is one of its imports; and, since it
// is a whole 32-bit x86 library, so is a file that is no valid application.
const FallbackCase kFallbackCases[] = {
    // clang-format off
    {nullptr, L"Kelvane.dll", ERROR_MOD_NOT_FOUND, 0, true, R::NeedsMissingLibrary},
    {nullptr, L"Kelvane.dll", ERROR_PROC_NOT_FOUND, 0, true, R::NeedsMissingLibrary},
    {nullptr, L"Kelvane.dll", ERROR_ACCESS_DENIED, 0, true, R::NotFound},
    {nullptr, L"Kelvane.dll", ERROR_BAD_EXE_FORMAT, 0, true, R::NeedsNonX86Library},
    {nullptr, L"Kelvane.dll", ERROR_FILE_INVALID, 0, true, R::NotWin32Library},
    {nullptr, L"Kelvane.dll", ERROR_INVALID_PARAMETER, ERROR_MOD_NOT_FOUND, true, R::NeedsMissingLibrary},
    {nullptr, L"Kelvane.dll", ERROR_INVALID_PARAMETER, ERROR_BAD_EXE_FORMAT, true, R::NeedsNonX86Library},
    {nullptr, L"Kelvane.dll", ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER, true, R::NotFound},
    {"Ostrel-absent.dll", L"Ostrel-absent.dll", ERROR_MOD_NOT_FOUND, 0, true, R::NotFound},
    {u8"C:\\Gerät\\Kelvane.dll", L"C:\\Ger\u00e4t\\Kelvane.dll", ERROR_INVALID_PARAMETER, ERROR_MOD_NOT_FOUND,
     false, R::NotFound},
    {u8"\\\\server\\共有\\Kelvane.dll", L"\\\\server\\\u5171\u6709\\Kelvane.dll", ERROR_INVALID_PARAMETER,
     ERROR_MOD_NOT_FOUND, false, R::NotFound},
    {"vendor\\Kelvane.dll", L"vendor\\Kelvane.dll", ERROR_INVALID_PARAMETER, ERROR_MOD_NOT_FOUND,
     true, R::NotFound},
    // clang-format on
};

TEST(KelvaneLibrary, FallsBackToTheProgramsFolderOnlyWhenTheSearchFlagsAreRefused) {
  KelvaneLibrary kelvane;
  for (const FallbackCase& c : kFallbackCases) {
    SCOPED_TRACE(std::string(c.path != nullptr ? c.path : "(default)") + " refused with " +
                 std::to_string(c.flaggedError));
    const ScriptedLoader loader(c.flaggedError, c.fallbackError);
    const KelvaneLoadResult result = kelvane.Load(c.path);
    EXPECT_EQ(result, c.result) << KelvaneLoadResultText(result);
    EXPECT_EQ(kelvane.EntryPoints().GetPLCType, nullptr);

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
  KelvaneLibrary kelvane;
  const ScriptedLoader loader(ERROR_INVALID_PARAMETER, kPassOn);
  const KelvaneLoadResult result = kelvane.Load();
  ASSERT_EQ(result, KelvaneLoadResult::Loaded) << KelvaneLoadResultText(result);
  ASSERT_EQ(ScriptedLoader::calls.size(), 2u);

  const std::wstring beside = ProgramFolder() + L"\\Kelvane.dll";
  HMODULE module = GetModuleHandleW(beside.c_str());
  ASSERT_NE(module, nullptr);
  const void* bound = nullptr;
  std::memcpy(&bound, &kelvane.EntryPoints().GetPLCType, sizeof bound);
  EXPECT_EQ(bound, reinterpret_cast<const void*>(GetProcAddress(module, "GetPLCType")));

  EXPECT_EQ(kelvane.Load(), KelvaneLoadResult::Loaded);
  EXPECT_EQ(ScriptedLoader::calls.size(), 2u) << "loaded again";
}
#else
TEST(KelvaneLibrary, AnythingDlopenRefusesIsNotFound) {
  KelvaneLibrary kelvane;
  const std::filesystem::path garbage =
      std::filesystem::temp_directory_path() / "ostrel-garbage-Kelvane.so";
  std::ofstream(garbage) << "not a library\n";
  for (const char* path : {"/nonexistent/Kelvane.so", garbage.c_str()}) {
    const KelvaneLoadResult result = kelvane.Load(path);
    EXPECT_EQ(result, KelvaneLoadResult::NotFound) << path << ": " << KelvaneLoadResultText(result);
  }
  std::filesystem::remove(garbage);
  EXPECT_EQ(kelvane.Load(), KelvaneLoadResult::NotFound) << "no default name";
  EXPECT_EQ(kelvane.EntryPoints().GetPLCType, nullptr);
}

TEST(KelvaneLibrary, ALibraryWithoutGetPLCTypeStaysLoadedAndBound) {
  KelvaneLibrary kelvane;
  const KelvaneLoadResult result = kelvane.Load(KELVANE_NO_PLCTYPE_LIBRARY);
  ASSERT_EQ(result, KelvaneLoadResult::NoGetPLCType) << KelvaneLoadResultText(result);
  EXPECT_EQ(kelvane.Calls().ResetLocalDev(), 7);
  EXPECT_EQ(kelvane.Calls().GetPLCType(), 0);
  EXPECT_EQ(kelvane.Load("/nonexistent/Kelvane.so"), KelvaneLoadResult::NoGetPLCType)
      << "a later call loads nothing";
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
        KelvaneLoadResult::NoGetPLCType, KelvaneLoadResult::NeedsMissingLibrary,
        KelvaneLoadResult::NeedsNonX86Library}) {
    const std::string quoted = std::string("\"ostrelctl: ") + KelvaneLoadResultText(result) + "\"";
    EXPECT_NE(readme.find(quoted), std::string::npos) << quoted;
  }
}
#endif

// A load refused as "not a valid application" blames an import only when
// Kelvane.dll's own header is a whole 32-bit x86 library.
TEST(KelvaneLibrary, OnlyAWholeX86LibraryPassesTheBlameToAnImport) {
  constexpr std::size_t kPe = 0x80, kTable = kPe + 24 + 0xE0;
  const auto header = [](std::vector<uint8_t>& bytes, std::size_t at, uint32_t value,
                         std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
      bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  const struct {
    const char* name;
    std::size_t at; // the field changed from a whole library's, or 0
    uint32_t value;
    std::size_t width;
    uint64_t fileSize;
    std::size_t headSize;
    bool whole;
  } cases[] = {
      {"a whole x86 library", 0, 0, 0, 0x600, 0x400, true},
      {"no MZ", 0, 0x5A4E, 2, 0x600, 0x400, false},
      {"PE header past what was read", 0x3C, 0x3F0, 4, 0x600, 0x400, false},
      {"no PE signature", kPe, 0x4551, 4, 0x600, 0x400, false},
      {"x64 machine", kPe + 4, 0x8664, 2, 0x600, 0x400, false},
      {"a program, not a library", kPe + 22, 0x0102, 2, 0x600, 0x400, false},
      {"PE32+ optional header", kPe + 24, 0x020B, 2, 0x600, 0x400, false},
      {"cut short inside a section", 0, 0, 0, 0x5FF, 0x400, false},
      {"section table past what was read", kPe + 20, 0x400, 2, 0x600, 0x400, false},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes(0x400, 0);
    header(bytes, 0, 0x5A4D, 2);
    header(bytes, 0x3C, kPe, 4);
    header(bytes, kPe, 0x4550, 4);
    header(bytes, kPe + 4, 0x014C, 2);
    header(bytes, kPe + 6, 1, 2);
    header(bytes, kPe + 20, 0xE0, 2);
    header(bytes, kPe + 22, 0x2102, 2);
    header(bytes, kPe + 24, 0x010B, 2);
    header(bytes, kTable + 16, 0x200, 4); // one section's data: 0x400 to 0x600
    header(bytes, kTable + 20, 0x400, 4);
    if (c.width != 0)
      header(bytes, c.at, c.value, c.width);
    EXPECT_EQ(KelvaneIsWholeX86Library(bytes.data(), c.headSize, c.fileSize), c.whole) << c.name;
  }
}

} // namespace
