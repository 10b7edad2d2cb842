#pragma once
// Every line the main dialog shows that is made of facts, and the lines it
// shows while it waits for the adapter. Portable, so that the words are
// checked natively; the dialog only shows them.

#include "session/AdapterSession.h"
#include "session/PowerSaveState.h"
#include "session/WriteOutcome.h"

#include <string>

extern const char kDialogWaitingLine[];
// A wait for the adapter that ended for a logoff or shutdown, which was then
// cancelled.
extern const char kDialogSessionGoesOnLine[];

// What a scan found: "The power save mode is on!".
std::string DialogModeLine(PowerSaveState state);
// A switch's result line.
std::string DialogResultLine(PowerSaveState target, WriteOutcome outcome);
std::string DialogCutShortLine(const UnfinishedWrite& cut);
// The most telling of what a write did not keep, or empty: the dialog has
// room for one line, so that nobody counts on an undo that cannot reach it.
std::string DialogUnkeptLine(const WriteUnkept& unkept);
std::string DialogMovedLine(const std::string& movedFrom);
