// Runs Ostrel.exe for scripts/run when no display is at hand: waits for the
// first scan, prints the dialog's place on the screen and the log pane's
// text, waits for a line on standard input (the caller's screenshot), then
// closes the dialog and returns the program's exit code.
#include "tests/e2e/OstrelSession.h"
#include "tests/e2e/SimCase.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

int main() {
  const char* profile = std::getenv("KELVANE_SIM");
  OstrelSession ostrel(SimCase::OstrelExe(), profile != nullptr ? profile : "");
  if (!ostrel.Started() || !ostrel.WaitForFirstScan()) {
    std::fprintf(stderr, "ostrel_watch: the dialog did not come up\n");
    return 1;
  }
  RECT rect;
  ::GetWindowRect(ostrel.Dialog(), &rect);
  std::printf("window %ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left,
              rect.top);
  std::printf("%s\n--\n", ostrel.Log().c_str());
  std::fflush(stdout);
  std::string line;
  std::getline(std::cin, line);
  ostrel.PostSysCommand(SC_CLOSE);
  return ostrel.WaitForExit();
}
