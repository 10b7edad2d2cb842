#pragma once
#include <string>
#include <vector>

// Each console program defines Main and its name; the library supplies the
// platform's entry point (wmain on Windows, with the wide command line
// converted to UTF-8; main elsewhere) and returns Main's result as the exit
// status. `args[0]` is the program.
int Main(const std::vector<std::string>& args);
extern const char kConsoleProgram[];

// The exit status of a usage error, the same in every console program.
constexpr int kConsoleUsageError = 2;
