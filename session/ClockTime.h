#pragma once
// A moment as the system clock gives it, in UTC. The session's files name
// and stamp things by it; nothing orders records or copies by it, since a
// clock can be set back.

#include <cstdint>
#include <string>

struct ClockTime {
  unsigned year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The days of a month of the Gregorian calendar, 0 for no month.
unsigned DaysInMonth(unsigned year, unsigned month);
// "2026-12-08T07:21:31Z", as the history gives a record's time: always a
// real one, each field held to its range whatever the clock hands in (a leap
// second reads as the second before it), so that the reader takes it.
std::string IsoTime(const ClockTime& time);
// "20261208-072131-123", for names that people read in a folder listing.
std::string FileStamp(const ClockTime& time);
// Seconds since 1970-01-01 UTC, as a backup file stamps when it was taken.
int64_t UnixSeconds(const ClockTime& time);
