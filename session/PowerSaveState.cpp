#include "session/PowerSaveState.h"

#include "session/RecordNames.h"

PowerSaveState PowerSaveStateOf(uint16_t value) {
  return value == 0   ? PowerSaveState::Off
         : value == 1 ? PowerSaveState::On
                      : PowerSaveState::Unavailable;
}

uint16_t PowerSaveValueOf(PowerSaveState state) {
  return state == PowerSaveState::On ? 1 : 0;
}

const char* PowerSaveStateName(PowerSaveState state) {
  return NameOf(state);
}
