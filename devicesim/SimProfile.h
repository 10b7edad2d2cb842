#pragma once
// The profile that describes the simulated adapter: a text file of
// `key = value` lines, '#' starting a comment.

#include <string>
#include <vector>

struct SimProfile {
  int family = 1;
  std::string firmware; // empty: the built-in default text
  std::string image;    // empty: the image lives in memory
  std::string create;   // layout of an image made when none exists yet
  std::string param41;  // empty: the parameter lives in memory
  bool powerSaveOn = false;
  std::vector<std::string> fail;
  // Write-side entry points that report success and change nothing.
  std::vector<std::string> drop;
  int delayMs = 0;
  std::string trace; // empty: no trace
  // GetLocalPIB and BrcmGetParam pump the calling thread's window messages
  // this long before they act, as a library that waits on a window does.
  int pumpMs = 0;
  std::string hang; // empty, or the entry point that never returns
  // Calls to these entry points wait, before they act, until the file
  // gateOpen exists: the test that makes it decides when they go on.
  std::vector<std::string> gate;
  std::string gateOpen;

  bool Fails(const char* entryPoint) const;
  bool Drops(const char* entryPoint) const;
};

constexpr const char* kSimDefaultFirmware = "7420-1.1.0-SIM";

// Parses `text`; relative paths are taken from `folder` (empty: as given).
// On failure returns false with `error` naming the line and what is wrong.
bool ParseSimProfile(const std::string& text, const std::string& folder, SimProfile& profile,
                     std::string& error);
