// Console output: UTF-8 bytes unchanged into files and pipes, every character
// intact in a Windows console whatever its code page. The program's own entry
// point is the library's, so the command line gtest sees came through it.
// And what a terminal is shown of a text.

#include "console/ConsoleText.h"
#include "console/ConsoleMain.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

const std::string kText = "Образы\\画像.nvm: нет";

TEST(ConsoleText, AFileGetsTheUtf8BytesThemselves) {
  const auto path = std::filesystem::temp_directory_path() / "ostrel-console-text";
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  ASSERT_NE(file, nullptr);
  ConsoleWrite(file, kText + "\n");
  const std::string wide(5000, 'x');
  ConsolePrintf(file, "%s %d %s\n", kText.c_str(), 2, wide.c_str());
  ASSERT_EQ(std::fclose(file), 0);
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
            kText + "\n" + kText + " 2 " + wide + "\n");
  in.close();
  std::filesystem::remove(path);
}

#ifdef _WIN32
// A console of the test's own, read back cell by cell, shows what a user sees.
// Its code page holds no Cyrillic, so bytes written as they are would show as
// other characters. (Characters one cell wide: a wide one may fill two.)
TEST(ConsoleText, AConsoleShowsEveryCharacter) {
  ::FreeConsole();
  if (!::AllocConsole())
    GTEST_SKIP() << "no console available";
  ::SetConsoleOutputCP(437);
  const HANDLE screen =
      ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(screen, INVALID_HANDLE_VALUE);
  // Wine's console without a display keeps no screen to read back.
  CONSOLE_SCREEN_BUFFER_INFO before;
  if (!::GetConsoleScreenBufferInfo(screen, &before)) {
    ::CloseHandle(screen);
    ::FreeConsole();
    GTEST_SKIP() << "the console has no screen buffer";
  }
  std::FILE* stream = _fdopen(_open_osfhandle(reinterpret_cast<intptr_t>(screen), _O_WRONLY), "w");
  ASSERT_NE(stream, nullptr);
  ConsolePrintf(stream, "%s -> %s", "Резервная копия", "Ωμέγα");
  std::fflush(stream);
  const std::wstring shown = L"Резервная копия -> Ωμέγα";
  std::wstring cells(shown.size(), L' ');
  DWORD read = 0;
  ASSERT_TRUE(::ReadConsoleOutputCharacterW(screen, cells.data(), static_cast<DWORD>(cells.size()),
                                            before.dwCursorPosition, &read));
  cells.resize(read);
  EXPECT_TRUE(cells == shown);
  std::fclose(stream);
  ::FreeConsole();
}
#endif

// Text keeps its line ends; a value put into a line escapes them, so that a
// firmware text cannot add a line such as "power-save: on" of its own.
TEST(TerminalText, EscapesWhatWouldDriveATerminal) {
  const struct {
    std::string text, shown;
    std::string line = ""; // as TerminalLine shows it, where that differs
  } cases[] = {
      // clang-format off
      {"INT7420 Образ 画像 \U0001F4BE\n", "INT7420 Образ 画像 \U0001F4BE\n", "INT7420 Образ 画像 \U0001F4BE\\x0a"},
      {"7420\r\npower-save: on\n\r", "7420\\x0d\npower-save: on\n\\x0d",
       "7420\\x0d\\x0apower-save: on\\x0a\\x0d"},
      {"\x1b]0;owned\x07\x1b[2J", "\\x1b]0;owned\\x07\\x1b[2J"},
      {"a\tb\rc\x7f", "a\\x09b\\x0dc\\x7f"},
      // Each edge of the C0 and C1 controls, and the characters beside them.
      {"\x1f !~\x7f\xc2\x80\xc2\x9f\xc2\xa0", "\\x1f !~\\x7f\\u0080\\u009f\xc2\xa0"},
      // The last two-byte lead, the first three-byte form, and U+07FF overlong.
      {"\xdf\xbf\xe0\xa0\x80\xe0\x9f\xbf", "\xdf\xbf\xe0\xa0\x80\\xe0\\x9f\\xbf"},
      {"\xc2\x9b" "2J", "\\u009b2J"},
      {"\xff\xe9t\xc3", "\\xff\\xe9t\\xc3"},
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},
      // U+D7FF, U+10000 and U+10FFFF; then U+FFFF overlong, U+110000 and a lead past 0xF4.
      {"\xed\x9f\xbf\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", "\xed\x9f\xbf\xf0\x90\x80\x80\xf4\x8f\xbf\xbf"},
      {"\xf0\x8f\xbf\xbf\xf4\x90\x80\x80\xf5\x80\x80\x80",
       "\\xf0\\x8f\\xbf\\xbf\\xf4\\x90\\x80\\x80\\xf5\\x80\\x80\\x80"},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TerminalText(c.text), c.shown) << c.shown;
    EXPECT_EQ(TerminalLine(c.text), c.line.empty() ? c.shown : c.line) << c.shown;
  }
}

} // namespace

const char kConsoleProgram[] = "console_tests";
