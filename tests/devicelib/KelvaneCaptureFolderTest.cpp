// A Kelvane.dll whose import lies in the packet-capture driver's folder under
// the system folder loads. The folder must be there before the first load, and
// a loaded library is never unloaded, so this program puts the import there,
// runs itself to load the library, and then takes the import away again.

#include "devicelib/KelvaneCalls.h"
#include "devicelib/KelvaneLibrary.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr const char* kChild = "OSTREL_CAPTURE_FOLDER_CHILD";

fs::path Program() {
  wchar_t path[MAX_PATH];
  return fs::path(std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH)));
}

fs::path CaptureFolder() {
  wchar_t system[MAX_PATH];
  return fs::path(std::wstring(system, GetSystemDirectoryW(system, MAX_PATH))) / "Npcap";
}

// Runs this program's one test again in a process of its own; its exit code.
DWORD RunChild() {
  std::wstring command = L"\"" + Program().wstring() + L"\" --gtest_filter=KelvaneCaptureFolder.*";
  ::SetEnvironmentVariableA(kChild, "1");
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &process);
  ::SetEnvironmentVariableA(kChild, nullptr);
  if (!started)
    return ~DWORD{0};
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = ~DWORD{0};
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return code;
}

TEST(KelvaneCaptureFolder, ALibraryFindsItsImportThere) {
  KelvaneLibrary kelvane;
  if (std::getenv(kChild) != nullptr) {
    const fs::path library = Program().parent_path() / "needs-helper" / "Kelvane.dll";
    const KelvaneLoadResult result = kelvane.Load(library.u8string().c_str());
    ASSERT_EQ(result, KelvaneLoadResult::NoGetPLCType) << KelvaneLoadResultText(result);
    EXPECT_EQ(kelvane.Calls().ResetLocalDev(), 42) << "the import answers";
    return;
  }
  const fs::path folder = CaptureFolder();
  const bool made = !fs::exists(folder);
  std::error_code error;
  fs::create_directories(folder, error);
  const fs::path helper = folder / "KelvaneHelper.dll";
  ASSERT_FALSE(fs::exists(helper)) << helper;
  ASSERT_TRUE(fs::copy_file(KELVANE_HELPER_LIBRARY, helper, error)) << error.message();
  const DWORD code = RunChild();
  fs::remove(helper, error);
  if (made)
    fs::remove(folder, error);
  EXPECT_EQ(code, 0u);
}

} // namespace
