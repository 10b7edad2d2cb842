#include "session/PowerSaveState.h"

namespace {
const char* const kNames[] = {"off", "on", "unavailable"};
} // namespace

PowerSaveState PowerSaveStateOf(uint16_t value) {
  return value == 0   ? PowerSaveState::Off
         : value == 1 ? PowerSaveState::On
                      : PowerSaveState::Unavailable;
}

uint16_t PowerSaveValueOf(PowerSaveState state) {
  return state == PowerSaveState::On ? 1 : 0;
}

const char* PowerSaveStateName(PowerSaveState state) {
  return kNames[static_cast<int>(state)];
}
