#include "session/WaitSetting.h"

uint32_t DialogWaitMs(const char* setting, uint32_t usual) {
  if (setting == nullptr || *setting == '\0')
    return usual;
  uint64_t ms = 0;
  for (const char* c = setting; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9')
      return usual;
    // Stops before the number could outgrow its type.
    ms = ms * 10 + static_cast<uint64_t>(*c - '0');
    if (ms > usual)
      return usual;
  }
  return static_cast<uint32_t>(ms);
}
