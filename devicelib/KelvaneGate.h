#pragma once
// 32-bit Windows only. Calls `entry` with `count` 32-bit arguments, `words[0]`
// first, and returns its result. The gate keeps the stack pointer in EBP over
// the call and restores it afterwards, so an entry point that removes its own
// arguments (__stdcall) and one that leaves them to the caller (cdecl) both
// return to a sound stack: a user cannot tell which build of the library they
// have, and a wrong guess would crash the program.

#include <cstdint>

extern "C" int KelvaneGate(const void* entry, const uint32_t* words, uint32_t count);
