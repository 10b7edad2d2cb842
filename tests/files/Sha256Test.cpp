// The platform's SHA-256 against the standard test vectors.

#include "files/Sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Sha256Vector {
  std::string message;
  const char* digest;
};

std::string Hex(const uint8_t (&digest)[kSha256Size]) {
  std::string hex;
  char pair[3];
  for (const uint8_t byte : digest) {
    std::snprintf(pair, sizeof pair, "%02x", byte);
    hex += pair;
  }
  return hex;
}

class Sha256Vectors : public ::testing::TestWithParam<Sha256Vector> {};

TEST_P(Sha256Vectors, MatchTheStandardDigest) {
  const std::string& message = GetParam().message;
  uint8_t digest[kSha256Size] = {};
  ASSERT_TRUE(Sha256(reinterpret_cast<const uint8_t*>(message.data()), message.size(), digest));
  EXPECT_EQ(Hex(digest), GetParam().digest);
}

// The empty message, one block, two blocks (448 bits), and many blocks.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Standard, Sha256Vectors, ::testing::ValuesIn(std::vector<Sha256Vector>{
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"a", "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb"},
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}}));
// clang-format on

TEST(Sha256, EmptyInputNeedsNoBuffer) {
  uint8_t digest[kSha256Size] = {};
  ASSERT_TRUE(Sha256(nullptr, 0, digest));
  EXPECT_EQ(Hex(digest), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

} // namespace
