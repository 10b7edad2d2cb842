#pragma once
#include <cstdio>
#include <string>

// Writes UTF-8 text: to a Windows console as wide characters, so that every
// name prints correctly whatever the console's code page; anywhere else (a
// pipe, a file, and on other systems) as the UTF-8 bytes themselves.
void ConsoleWrite(std::FILE* stream, const std::string& utf8);

// ConsoleWrite of printf's formatting.
void ConsolePrintf(std::FILE* stream, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
