// This program runs from a folder without Kelvane.dll, with the current
// directory set to a folder that has one: that copy must not be loaded. Files
// that are no library, one whose import is missing, and a library without
// GetPLCType, are loaded by their paths, some in folders whose names are not
// ASCII. A process loads the library once, so the one successful load is the last test here.

#include "devicelib/KelvaneCalls.h"
#include "devicelib/KelvaneEntryPoints.h"
#include "devicelib/KelvaneLibrary.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path ProgramFolder() {
  wchar_t path[MAX_PATH];
  return fs::path(std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH))).parent_path();
}

fs::path NoGetPLCTypeLibrary() {
  return ProgramFolder() / fs::u8path(KELVANE_NO_PLCTYPE_FOLDER) / "Kelvane.dll";
}

std::vector<char> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A real library marked as built for x86-64: its COFF machine field is the
// two bytes after the "PE\0\0" that the DOS header's offset at 0x3C points to.
std::vector<char> ForOtherMachine(std::vector<char> bytes) {
  if (bytes.size() < 0x40)
    return {};
  uint32_t pe = 0;
  for (int i = 3; i >= 0; --i)
    pe = (pe << 8) | static_cast<uint8_t>(bytes[0x3C + i]);
  if (pe > bytes.size() || bytes.size() - pe < 6 ||
      std::string(&bytes[pe], 4) != std::string("PE\0\0", 4))
    return {};
  bytes[pe + 4] = static_cast<char>(0x64);
  bytes[pe + 5] = static_cast<char>(0x86);
  return bytes;
}

TEST(KelvaneSearchPath, ALibraryInTheCurrentDirectoryIsNotLoaded) {
  KelvaneLibrary kelvane;
  ASSERT_NE(GetFileAttributesA("Kelvane.dll"), INVALID_FILE_ATTRIBUTES)
      << "the current directory must hold a Kelvane.dll for this test to mean anything";
  EXPECT_EQ(kelvane.Load(), KelvaneLoadResult::NotFound);
  EXPECT_EQ(kelvane.EntryPoints().GetPLCType, nullptr);
  EXPECT_EQ(GetModuleHandleA("Kelvane.dll"), nullptr);
}

TEST(KelvaneSearchPath, AFileThatIsNoWin32LibraryIsToldApartFromAMissingOne) {
  KelvaneLibrary kelvane;
  const std::vector<char> library = ReadBytes(NoGetPLCTypeLibrary());
  const std::vector<char> otherMachine = ForOtherMachine(library);
  ASSERT_FALSE(otherMachine.empty()) << NoGetPLCTypeLibrary();
  const fs::path folder = fs::temp_directory_path() / fs::u8path(u8"ostrel Gerät 文件");
  fs::remove_all(folder);
  ASSERT_TRUE(fs::create_directories(folder));
  const struct {
    const char* what;
    std::vector<char> bytes;
  } files[] = {
      {"text", std::vector<char>{'n', 'o', 't', ' ', 'a', ' ', 'D', 'L', 'L', '\n'}},
      {"empty", {}},
      {"a library for another machine", otherMachine},
      {"a library cut short", std::vector<char>(library.begin(), library.begin() + 512)},
  };
  const fs::path file = folder / "Kelvane.dll";
  for (const auto& f : files) {
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(f.bytes.data(), f.bytes.size());
    const KelvaneLoadResult result = kelvane.Load(file.u8string().c_str());
    EXPECT_EQ(result, KelvaneLoadResult::NotWin32Library)
        << f.what << ": " << KelvaneLoadResultText(result);
  }
  fs::remove(file);
  EXPECT_EQ(kelvane.Load(file.u8string().c_str()), KelvaneLoadResult::NotFound);
  EXPECT_EQ(kelvane.EntryPoints().GetPLCType, nullptr);
  fs::remove_all(folder);
}

// Its import, KelvaneHelper.dll, lies nowhere the loader looks: not beside it,
// not in this program's folder, not in the current directory.
TEST(KelvaneSearchPath, ALibraryWhoseImportIsMissingIsToldApartFromAMissingOne) {
  KelvaneLibrary kelvane;
  const fs::path library = ProgramFolder() / "needs-helper" / "Kelvane.dll";
  ASSERT_TRUE(fs::exists(library));
  const KelvaneLoadResult result = kelvane.Load(library.u8string().c_str());
  EXPECT_EQ(result, KelvaneLoadResult::NeedsMissingLibrary) << KelvaneLoadResultText(result);
  EXPECT_STREQ(KelvaneLoadResultText(result),
               "Kelvane.dll was found, but a library it needs could not be loaded");
  EXPECT_EQ(kelvane.EntryPoints().ResetLocalDev, nullptr);
}

TEST(KelvaneSearchPath, ALibraryWithoutGetPLCTypeStaysLoadedAndBound) {
  KelvaneLibrary kelvane;
  const fs::path library = NoGetPLCTypeLibrary();
  const KelvaneLoadResult result = kelvane.Load(library.u8string().c_str());
  ASSERT_EQ(result, KelvaneLoadResult::NoGetPLCType) << KelvaneLoadResultText(result);
  EXPECT_NE(GetModuleHandleW(library.wstring().c_str()), nullptr);
  EXPECT_EQ(kelvane.Calls().ResetLocalDev(), 7);
  EXPECT_EQ(kelvane.Calls().GetPLCType(), 0) << "no adapter";
  EXPECT_EQ(kelvane.Load(), KelvaneLoadResult::NoGetPLCType) << "a later call loads nothing";
}

} // namespace
