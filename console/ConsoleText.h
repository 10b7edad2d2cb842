#pragma once
#include <cstdio>
#include <string>
#include <string_view>

// The text with every control character but the line end, and every byte
// that is not well-formed UTF-8, written as an escape ("\x1b", "\u009b",
// "\xff"): text from a file or a device must not retitle, clear or
// otherwise drive the terminal it is shown in.
std::string TerminalText(std::string_view utf8);
// TerminalText with the line ends escaped too: a value put into a line, such
// as a firmware text, stays within its line and cannot start a line of its own.
std::string TerminalLine(std::string_view utf8);
// Writes `line`, as TerminalLine shows it, and then a line end.
void ConsoleWriteLine(std::FILE* stream, const std::string& line);

// Writes UTF-8 text, as TerminalText shows it: to a Windows console as wide
// characters, so that every name prints correctly whatever the console's code
// page; anywhere else (a pipe, a file, and on other systems) as the UTF-8 bytes
// themselves.
void ConsoleWrite(std::FILE* stream, const std::string& utf8);

// ConsoleWrite of printf's formatting.
void ConsolePrintf(std::FILE* stream, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
