#include "console/ConsoleText.h"

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

void ConsoleWrite(std::FILE* stream, const std::string& utf8) {
#ifdef _WIN32
  if (WriteToConsole(stream, utf8))
    return;
#endif
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
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
