#include "session/ClockTime.h"

#include <algorithm>
#include <cstdio>

unsigned DaysInMonth(unsigned year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12)
    return 0;
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string IsoTime(const ClockTime& time) {
  const unsigned year = time.year % 10000;
  const unsigned month = std::clamp(time.month % 100, 1u, 12u);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", year, month,
                std::clamp(time.day % 100, 1u, DaysInMonth(year, month)),
                std::min(time.hour % 100, 23u), std::min(time.minute % 100, 59u),
                std::min(time.second % 100, 59u));
  return text;
}

std::string FileStamp(const ClockTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u%02u%02u-%02u%02u%02u-%03u", time.year % 10000,
                time.month % 100, time.day % 100, time.hour % 100, time.minute % 100,
                time.second % 100, time.millisecond % 1000);
  return text;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, by
// whole 400-year eras counted from March, so that the leap day ends a year.
int64_t UnixSeconds(const ClockTime& time) {
  const int64_t year = static_cast<int64_t>(time.year) - (time.month <= 2 ? 1 : 0);
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t month = time.month > 2 ? time.month - 3 : time.month + 9;
  const int64_t dayOfYear = (153 * month + 2) / 5 + time.day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const int64_t days = era * 146097 + dayOfEra - 719468;
  return days * 86400 + time.hour * 3600 + time.minute * 60 + time.second;
}
