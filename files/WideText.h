#pragma once
// Windows' wide API in UTF-8 terms: every path and every message the files
// helpers and the console programs handle is UTF-8; the system takes UTF-16.
#ifdef _WIN32
#include <string>
#include <string_view>

// False when `utf8` is not well-formed UTF-8: a guessed conversion could name
// another file.
bool WideFromUtf8(const std::string& utf8, std::wstring& wide);
// Unpaired surrogates become U+FFFD.
std::string Utf8FromWide(const std::wstring& wide);
// False when `wide` holds an unpaired surrogate, which no UTF-8 text can
// carry: a name that comes back changed could name another file.
bool Utf8FromWideExactly(const std::wstring& wide, std::string& utf8);

// The form of `path` the wide file API takes whatever its length. One that
// nears the system's MAX_PATH limit is made absolute and given the \\?\ (or
// \\?\UNC\) prefix, which lifts the limit but also any translation, so it must
// be complete and use backslashes; a shorter one is kept as given. A 32-bit
// program on 64-bit Windows opens a path in System32 through Sysnative, as
// 64-bit programs see it. False with
// `error` set when the path is not UTF-8 or cannot be made absolute.
bool WidePath(const std::string& path, std::wstring& wide, std::string& error);

// The Windows folder when this is a 32-bit process on 64-bit Windows, else
// empty: only there is System32 redirected.
const std::wstring& Wow64WindowsFolder();

// Text in the system's ANSI code page, as the device library hands it over,
// as UTF-8.
std::string AnsiToUtf8(std::string_view text);

// The system's text for an error code (GetLastError), in UTF-8, without the
// closing full stop and line end.
std::string SystemReason(unsigned long code);
#endif
