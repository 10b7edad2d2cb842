#pragma once
// A shorter wait for the adapter, asked for by the environment, so that the
// tests of a dialog that gives up need not wait out the whole wait.

#include <cstdint>

// The variable that holds the setting.
constexpr const char* kDialogWaitVariable = "OSTREL_DIALOG_WAIT_MS";

// `setting` (the variable's value, or null when it is unset) when it is a
// whole number of milliseconds of at most `usual`; anything else is `usual`.
// A setting can only shorten the wait: the dialog then gives up sooner, as
// it would when another program kept the adapter longer, and writes nothing.
uint32_t DialogWaitMs(const char* setting, uint32_t usual);
