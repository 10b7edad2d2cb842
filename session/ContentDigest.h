#pragma once
// The SHA-256 of what an adapter holds, as the history keeps it: over the
// content of an image buffer or a parameter, as fetched or as sent, so that it
// can be taken also of an image that does not open.

#include "powersave/PowerSaveCopy.h"

#include <cstdint>
#include <string>

// Lower-case hex; empty when there is no content or no digest on this system.
// Over the whole content: the digests of the history's second format.
std::string ContentDigest(BackupKind kind, const uint8_t* bytes, uint32_t size);
std::string ContentDigest(const PowerSaveCopy& copy);
// Over the first `length` bytes alone, the bytes a write puts on the adapter,
// so that a byte no write touches never makes two contents differ. Empty when
// there are fewer.
std::string CoveredDigest(const uint8_t* bytes, uint32_t size, uint32_t length);
