#pragma once
// ostrelctl's commands: the power-save switch from the command line, with
// backup, restore, undo, the history and read-back, for people who look after
// several computers. They reach the adapter only through the adapter session,
// as Ostrel.exe does, and hold the computer-wide adapter lock for the whole run.
//
// Exit status: 0 done; 1 the adapter or the copy refused, or the read-back
// differs or cannot be read; 2 usage, file or library error; 3 no adapter;
// 4 the adapter is in use by another program; 5 stopped before anything was
// written.

#include "ctl/CtlReport.h"
#include "session/SessionHost.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int kCtlExitStoppedUnwritten = 5;
extern const char kCtlStoppedUnwritten[];
// The exit status of each failure.
int CtlExitStatus(CtlFailure failure);

// Runs the command `args` name, or says what is wrong with them.
CtlResult CtlRun(const std::vector<std::string>& args, SessionHost& host);
// The whole run: --help and --version, the command, what it says, and the
// exit status.
int CtlMain(const std::vector<std::string>& args, SessionHost& host);
