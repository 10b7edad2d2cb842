#pragma once
// ostrelctl's options: one table that names each option, the commands that
// take it and where its value goes, and what they mean together.

#include "console/CommandLine.h"
#include "session/SessionLock.h"

#include <string>
#include <vector>

constexpr unsigned kMaxWaitSeconds = 24 * 60 * 60;

// The command line after the command word.
struct CtlOptions {
  std::string file; // the command's FILE
  std::string backup;
  bool verify = true;
  bool verifyAsked = false; // the default, accepted for scripts
  // The adapter's checks: write a state it has, restore over an unreadable image.
  bool force = false;
  bool replace = false; // a backup file may replace an existing file
  bool copy = true;     // the automatic copy before a write
  bool json = false;
  std::string wait;
  unsigned waitSeconds = kAdapterWaitSeconds;
};

// The options as the parser and the usage take them.
std::vector<CommandOption> CtlOptionTable();
// The options' meaning. Returns what is wrong, or an empty text.
std::string ReadCtlOptions(const CommandLine& line, CtlOptions& options);
// --json before any "--", for a command line too wrong to parse.
bool JsonAsked(const std::vector<std::string>& args);
// The usage's last line: what --wait takes.
std::string CtlWaitUsage();
