#pragma once
#include <cstddef>
#include <cstdint>

constexpr std::size_t kSha256Size = 32;

// The SHA-256 digest of `size` bytes at `data`, computed by the platform's
// cryptography (BCrypt on Windows, libcrypto elsewhere). False when the
// platform's digest is not available.
bool Sha256(const uint8_t* data, std::size_t size, uint8_t (&digest)[kSha256Size]);
