#pragma once
// A moment as the system clock gives it, in UTC. The session's files name
// and stamp things by it; nothing orders records or copies by it, since a
// clock can be set back.

#include <string>

struct ClockTime {
  unsigned year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// "2026-12-08T07:21:31Z", as the history gives a record's time.
std::string IsoTime(const ClockTime& time);
// "20261208-072131-123", for names that people read in a folder listing.
std::string FileStamp(const ClockTime& time);
