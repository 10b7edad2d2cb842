// UTF-8 paths and text for Windows' wide API. Wine takes long paths without
// the prefix that Windows needs, so the prefix is checked here, by its form.

#include "files/WideText.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

namespace {

// 20 characters; 15 of them make a path well past MAX_PATH.
constexpr char kFolder[] = "папка-画像-0123456789\\";
constexpr wchar_t kWideFolder[] = L"папка-画像-0123456789\\";

template <typename Text> Text Folders(const Text& folder) {
  Text folders;
  for (int i = 0; i < 15; ++i)
    folders += folder;
  return folders;
}

// Short paths are kept as given; long ones become complete, with the long prefix.
TEST(WidePath, ShortPathsAreKeptAndLongOnesGetTheLongPrefix) {
  const std::string folders = Folders<std::string>(kFolder);
  const std::wstring wideFolders = Folders<std::wstring>(kWideFolder);
  std::string slashed = folders;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  wchar_t here[MAX_PATH];
  const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, here);
  ASSERT_GT(length, 0u);
  std::wstring current(here, length);
  if (current.back() != L'\\')
    current += L'\\';
  // clang-format off
  const struct {
    std::string path;
    std::wstring wide;
  } cases[] = {
      {"image.nvm", L"image.nvm"},
      {"..\\backups/image.nvm", L"..\\backups/image.nvm"},
      {"Z:/tmp/image.nvm", L"Z:/tmp/image.nvm"},
      {"\\\\server\\share\\image.nvm", L"\\\\server\\share\\image.nvm"},
      {"Z:\\Образы\\画像.nvm", L"Z:\\Образы\\画像.nvm"},
      {"", L""},
      {"Z:\\" + folders + "x.nvm", L"\\\\?\\Z:\\" + wideFolders + L"x.nvm"},
      {"Z:/" + slashed + "skipped/../x.nvm", L"\\\\?\\Z:\\" + wideFolders + L"x.nvm"},
      {"\\\\server\\share\\" + folders + "x.nvm", L"\\\\?\\UNC\\server\\share\\" + wideFolders + L"x.nvm"},
      {"\\\\?\\Z:\\" + folders + "x.nvm", L"\\\\?\\Z:\\" + wideFolders + L"x.nvm"},
      {folders + "x.nvm", L"\\\\?\\" + current + wideFolders + L"x.nvm"},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::wstring wide;
    std::string error;
    ASSERT_TRUE(WidePath(c.path, wide, error)) << c.path << ": " << error;
    EXPECT_EQ(wide, c.wide) << c.path;
  }
}

TEST(WidePath, RefusesWhatIsNotUtf8) {
  // A stray byte, a sequence cut short, an encoded surrogate, an overlong '/'.
  for (const std::string path :
       {"Z:\\image\xff.nvm", "Z:\\image\xd0", "Z:\\\xed\xa0\x80.nvm", "Z:\\\xc0\xaf.nvm"}) {
    std::wstring wide;
    std::string error;
    EXPECT_FALSE(WidePath(path, wide, error)) << path;
    EXPECT_EQ(error, "the path is not valid UTF-8");
  }
}

TEST(WideText, Utf8FromWideKeepsEveryCharacter) {
  EXPECT_EQ(Utf8FromWide(L"Образ 画像 \U0001F4BE"), "Образ 画像 \U0001F4BE");
  EXPECT_EQ(Utf8FromWide(std::wstring(1, wchar_t(0xD800)) + L"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf8FromWide(L""), "");
  std::string exact;
  EXPECT_FALSE(Utf8FromWideExactly(std::wstring(1, wchar_t(0xDC00)) + L"x", exact));
  EXPECT_TRUE(Utf8FromWideExactly(L"Образ \U0001F4BE", exact));
  EXPECT_EQ(exact, "Образ \U0001F4BE");
}

TEST(WideText, SystemReasonIsTheTextWithoutItsLineEnd) {
  for (const DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED}) {
    const std::string reason = SystemReason(code);
    ASSERT_FALSE(reason.empty());
    EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos) << reason;
    EXPECT_NE(reason.back(), '.') << reason;
    EXPECT_EQ(reason.find("system error"), std::string::npos) << reason;
  }
}

} // namespace
