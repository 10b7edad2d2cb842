#include "session/ContentDigest.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// What the history keeps of an adapter's content is its SHA-256.
TEST(ContentDigest, IsTheSha256OfTheContent) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(ContentDigest(BackupKind::NvmImage, abc, sizeof abc),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(ContentDigest(BackupKind::NvmImage, abc, 0), "");
  // Over the first bytes alone; none when there are fewer.
  const uint8_t abcd[] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(CoveredDigest(abcd, 4, 3), ContentDigest(BackupKind::NvmImage, abc, 3));
  EXPECT_EQ(CoveredDigest(abcd, 4, 5), "");
}

} // namespace
