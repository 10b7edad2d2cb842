#pragma once
// The power-save state above the strategies. The strategies speak in the
// numbers of their interface (0 off, 1 on, anything else unavailable); this
// is the one place that turns them into a state.

#include <cstdint>

enum class PowerSaveState { Off, On, Unavailable };

PowerSaveState PowerSaveStateOf(uint16_t value);
// The strategies' number of a state that can be written: 0 or 1.
uint16_t PowerSaveValueOf(PowerSaveState state);
// "off", "on" or "unavailable", as the programs print it and the history
// keeps it.
const char* PowerSaveStateName(PowerSaveState state);
