// Which paths a 32-bit program on 64-bit Windows opens through Sysnative.

#include "files/SystemFolder.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemFolderAs, TakesOnlyPathsInsideSystem32) {
  const struct {
    const wchar_t* path;
    const wchar_t* windows;
    const wchar_t* as;
    const wchar_t* mapped;
  } cases[] = {
      {L"C:\\Windows\\System32\\config\\systemprofile\\AppData\\Local\\Ostrel", L"C:\\Windows",
       L"Sysnative", L"C:\\Windows\\Sysnative\\config\\systemprofile\\AppData\\Local\\Ostrel"},
      {L"c:\\windows\\system32", L"C:\\Windows\\", L"Sysnative", L"C:\\Windows\\Sysnative"},
      {L"C:/WINDOWS/SYSTEM32/x.bin", L"C:\\Windows", L"Sysnative", L"C:\\Windows\\Sysnative/x.bin"},
      {L"C:\\Windows\\System32x\\x.bin", L"C:\\Windows", L"Sysnative", L""},
      {L"C:\\Windows\\SysWOW64\\x.bin", L"C:\\Windows", L"Sysnative", L""},
      {L"D:\\Windows\\System32\\x.bin", L"C:\\Windows", L"Sysnative", L""},
      {L"C:\\Windows\\System3", L"C:\\Windows", L"Sysnative", L""},
      {L"C:\\Windows\\System32\\x.bin", L"", L"Sysnative", L""},
      {L"C:\\Windows\\System32\\x", L"C:\\Windows", L"SysWOW64", L"C:\\Windows\\SysWOW64\\x"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SystemFolderAs(c.path, c.windows, c.as), c.mapped) << std::wstring(c.path).size();
}

} // namespace
