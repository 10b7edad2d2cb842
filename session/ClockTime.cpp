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
