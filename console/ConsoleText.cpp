#include "console/ConsoleText.h"

#include "files/Utf8.h"

#include <cstdarg>

#ifdef _WIN32
#include "files/WideText.h"

#include <algorithm>
#include <io.h>
#include <windows.h>

namespace {

// Older consoles refuse one large write; a chunk never splits a surrogate pair.
constexpr std::size_t kConsoleChunk = 8192;

bool WriteToConsole(std::FILE* stream, const std::string& utf8) {
  const int descriptor = _fileno(stream);
  const HANDLE console =
      descriptor < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  DWORD mode = 0;
  std::wstring wide;
  if (console == INVALID_HANDLE_VALUE || !::GetConsoleMode(console, &mode) ||
      !WideFromUtf8(utf8, wide))
    return false;
  std::fflush(stream); // what went through the stream comes first
  for (std::size_t at = 0; at < wide.size();) {
    std::size_t count = std::min(wide.size() - at, kConsoleChunk);
    if (at + count < wide.size() && IS_HIGH_SURROGATE(wide[at + count - 1]))
      --count;
    DWORD wrote = 0;
    if (!::WriteConsoleW(console, wide.data() + at, static_cast<DWORD>(count), &wrote, nullptr) ||
        wrote == 0)
      break;
    at += wrote;
  }
  return true;
}

} // namespace

#endif

namespace {

std::string Escaped(std::string_view utf8, bool keepLineEnds) {
  std::string shown;
  for (std::size_t at = 0; at < utf8.size();) {
    uint32_t code = 0;
    const std::size_t length = Utf8Sequence(utf8, at, code);
    char escape[8];
    if (length == 0)
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(utf8[at]));
    else if ((code < 0x20 && (code != '\n' || !keepLineEnds)) || code == 0x7F)
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(code));
    else if (code >= 0x80 && code <= 0x9F)
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(code));
    else
      escape[0] = '\0';
    if (escape[0] != '\0')
      shown += escape;
    else
      shown.append(utf8, at, length);
    at += length != 0 ? length : 1;
  }
  return shown;
}

} // namespace

std::string TerminalText(std::string_view utf8) {
  return Escaped(utf8, true);
}

std::string TerminalLine(std::string_view utf8) {
  return Escaped(utf8, false);
}

void ConsoleWriteLine(std::FILE* stream, const std::string& line) {
  ConsoleWrite(stream, TerminalLine(line) + "\n");
}

void ConsoleWrite(std::FILE* stream, const std::string& utf8) {
  const std::string shown = TerminalText(utf8);
#ifdef _WIN32
  if (WriteToConsole(stream, shown))
    return;
#endif
  std::fwrite(shown.data(), 1, shown.size(), stream);
}

void ConsolePrintf(std::FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length > 0) {
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<std::size_t>(length));
    ConsoleWrite(stream, text);
  }
  va_end(args);
}
