#include "console/ConsoleMain.h"

#ifdef _WIN32
#include "files/WideText.h"

// The narrow command line is in the ANSI code page, which cannot hold every
// name a user's files may have; the wide one can.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i)
    args.push_back(Utf8FromWide(argv[i]));
  return Main(args);
}

#else

int main(int argc, char** argv) {
  return Main({argv, argv + argc});
}

#endif
