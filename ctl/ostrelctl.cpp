// ostrelctl on Windows: the console's stop handling and the Windows host
// (the device library, the adapter lock and the folder of the copies and the
// history) around the commands.
#include "console/ConsoleHold.h"
#include "console/ConsoleMain.h"
#include "ctl/CtlCommands.h"
#include "session/SessionHostWin32.h"

#include <string>
#include <vector>

const char kConsoleProgram[] = "ostrelctl";

int Main(const std::vector<std::string>& args) {
  ConsoleStopsFromStart(std::string(kConsoleProgram) + ": " + kCtlStoppedUnwritten,
                        kCtlExitStoppedUnwritten);
  WindowsSessionHost host;
  return CtlMain(args, host);
}
