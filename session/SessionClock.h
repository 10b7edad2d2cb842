#pragma once
// What only Windows can tell the session: the clock, and where the user's
// copies and history are kept.

#include "session/ClockTime.h"

#include <string>

ClockTime SystemClockNow();

// %LOCALAPPDATA%\Ostrel, which holds the copies and the history, in UTF-8.
// False with `error` when the system does not name an absolute folder: a
// relative one would give each current folder a history of its own.
bool OstrelDataFolder(std::string& folder, std::string& error);

// The SysWOW64 profile's folder from which this run moved the copies and the
// history to the folder OstrelDataFolder names, or empty.
std::string OstrelDataFolderMovedFrom();
