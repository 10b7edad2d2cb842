#pragma once
// What the session asks of the system it runs on: the clock, the folder of
// the user's copies and history, and system text as UTF-8. Windows answers
// in a few lines of its own; the tests answer natively.

#include "session/ClockTime.h"

#include <string>
#include <string_view>

class SessionSystem {
public:
  virtual ClockTime Now() = 0;
  // The folder that holds the copies and the history. False with `fault`
  // when the system names none that may be used.
  virtual bool DataFolder(std::string& folder, std::string& fault) = 0;
  // Text in the system's code page, as the device library and the system's
  // messages give it, in UTF-8.
  virtual std::string Utf8Of(std::string_view systemText) = 0;

protected:
  ~SessionSystem() = default;
};

// The system the programs run on.
SessionSystem& HostSessionSystem();
