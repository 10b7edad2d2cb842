#include "session/ClockTime.h"

#include <cstdio>

std::string IsoTime(const ClockTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", time.year % 10000,
                time.month % 100, time.day % 100, time.hour % 100, time.minute % 100,
                time.second % 100);
  return text;
}

std::string FileStamp(const ClockTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u%02u%02u-%02u%02u%02u-%03u", time.year % 10000,
                time.month % 100, time.day % 100, time.hour % 100, time.minute % 100,
                time.second % 100, time.millisecond % 1000);
  return text;
}
