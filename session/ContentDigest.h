#pragma once
// The SHA-256 of what an adapter holds, as the history keeps it: over the
// content of an image buffer or a parameter, as fetched or as sent, so that it
// can be taken also of an image that does not open.

#include "powersave/PowerSaveCopy.h"

#include <cstdint>
#include <string>

// Lower-case hex; empty when there is no content or no digest on this system.
std::string ContentDigest(BackupKind kind, const uint8_t* bytes, uint32_t size);
std::string ContentDigest(const PowerSaveCopy& copy);
