#pragma once
// Beside a check's return code: where in the untrusted bytes it failed, what
// it expected there and what it found, for messages. Fixed in size, so the
// core fills it without allocating; every check takes it as an optional
// pointer and leaves it alone on success.

#include <cstdarg>
#include <cstdio>

struct Fault {
  char text[192] = {};
  bool Said() const { return text[0] != '\0'; }
};

// Fills `fault`, when there is one, as printf would. The form is "<where>:
// <what> <expected> expected, <found> found", for example "header at 0x0000:
// image checksum 0x1234abcd expected, 0x1234abcc found".
inline void SayFault(Fault* fault, const char* format, ...) __attribute__((format(printf, 2, 3)));
inline void SayFault(Fault* fault, const char* format, ...) {
  if (fault == nullptr)
    return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(fault->text, sizeof fault->text, format, args);
  va_end(args);
}
