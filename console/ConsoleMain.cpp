#include "console/ConsoleMain.h"

#ifdef _WIN32
#include "console/ConsoleText.h"
#include "files/WideText.h"

// The narrow command line is in the ANSI code page, which cannot hold every
// name a user's files may have; the wide one can. An argument that holds an
// unpaired surrogate has no UTF-8 form: any stand-in could name another file,
// so the run stops there as a usage error.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    if (!Utf8FromWideExactly(argv[i], args[static_cast<std::size_t>(i)])) {
      ConsolePrintf(stderr, "%s: argument %d is not valid Unicode text\n", kConsoleProgram, i);
      return kConsoleUsageError;
    }
  }
  return Main(args);
}

#else

int main(int argc, char** argv) {
  return Main({argv, argv + argc});
}

#endif
