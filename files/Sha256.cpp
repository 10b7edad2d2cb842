#include "files/Sha256.h"

#ifdef _WIN32
#include <windows.h>

#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

#ifdef _WIN32

bool Sha256(const uint8_t* data, std::size_t size, uint8_t (&digest)[kSha256Size]) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(
          ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
    return false;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool done = BCRYPT_SUCCESS(::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
  // BCryptHashData counts in ULONG.
  for (std::size_t at = 0; done && at < size;) {
    const std::size_t left = size - at;
    const ULONG chunk = left > 0x40000000u ? 0x40000000u : static_cast<ULONG>(left);
    done = BCRYPT_SUCCESS(::BCryptHashData(hash, const_cast<PUCHAR>(data + at), chunk, 0));
    at += chunk;
  }
  done = done && BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest, kSha256Size, 0));
  if (hash != nullptr)
    ::BCryptDestroyHash(hash);
  ::BCryptCloseAlgorithmProvider(algorithm, 0);
  return done;
}

#else

bool Sha256(const uint8_t* data, std::size_t size, uint8_t (&digest)[kSha256Size]) {
  const uint8_t nothing = 0;
  unsigned int length = 0;
  return EVP_Digest(size == 0 ? &nothing : data, size, digest, &length, EVP_sha256(), nullptr) ==
             1 &&
         length == kSha256Size;
}

#endif
