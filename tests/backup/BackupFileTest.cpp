// The backup file: what is written reads back the same, and a file that is
// damaged, cut short or not ours is refused in words a user understands.

#include "backup/BackupFile.h"

#include "files/Sha256.h"
#include "nvm/NvmImageBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

// An image of `layout` whose PIB holds the address the header names.
BackupCopy Image(const PibLayout& layout = kPibLayout74201D4) {
  BackupCopy copy;
  copy.kind = BackupKind::NvmImage;
  copy.layout = layout.name;
  copy.firmware = "INT7420-MAC-1.1.3";
  const uint8_t address[6] = {0x00, 0xB0, 0x52, 0x12, 0x34, 0x56};
  std::copy(std::begin(address), std::end(address), copy.address);
  copy.taken = 1700000000;
  NvmImageBuilder built(layout, false);
  std::copy(std::begin(address), std::end(address), built.Pib() + kPibDeviceBlock);
  built.Seal();
  copy.bytes = built.image;
  return copy;
}

void ExpectSame(const BackupCopy& got, const BackupCopy& want) {
  EXPECT_EQ(got.kind, want.kind);
  EXPECT_EQ(got.layout, want.layout);
  EXPECT_EQ(got.firmware, want.firmware);
  EXPECT_TRUE(std::equal(std::begin(got.address), std::end(got.address), want.address));
  EXPECT_EQ(got.taken, want.taken);
  EXPECT_EQ(got.bytes, want.bytes);
}

class BackupRoundTrip : public ::testing::TestWithParam<BackupCopy> {};

TEST_P(BackupRoundTrip, ReadsBackWhatWasWritten) {
  const std::vector<uint8_t> file = BackupEncode(GetParam());
  ASSERT_FALSE(file.empty());
  EXPECT_TRUE(BackupIsFile(file.data(), file.size()));
  // The magic and format version 1, as every file on disk begins.
  EXPECT_EQ(std::string(file.begin(), file.begin() + 10), std::string("OSTRELBK\x01\x00", 10));
  // Then the kind of copy: 1 an NVM image, 2 parameter 41.
  EXPECT_EQ(file[10], GetParam().kind == BackupKind::NvmImage ? 1 : 2);
  BackupCopy read;
  Fault fault;
  ASSERT_TRUE(BackupDecode(file.data(), file.size(), read, &fault)) << fault.text;
  ExpectSame(read, GetParam());
  EXPECT_EQ(BackupEncode(read), file) << "a file has one reading";

  // Through the strategies' fixed-size copy and back, when it fits there.
  static PowerSaveCopy held;
  const bool fits = GetParam().bytes.size() <= sizeof held.bytes;
  ASSERT_EQ(BackupToCopy(GetParam(), held), fits);
  if (fits) {
    BackupCopy back;
    back.taken = GetParam().taken; // a strategy's copy has no time
    BackupFromCopy(held, back);
    ExpectSame(back, GetParam());
  }
}

// The largest image and the longest firmware text; a layout name can be no
// longer than the known ones.
BackupCopy LongestFieldsImage() {
  BackupCopy copy = Image(kPibLayout7500);
  copy.firmware = std::string(162, 'F');
  copy.taken = -1; // every bit of the time field set
  return copy;
}

// A parameter-41 copy of `size` bytes, the first `counted` of them counting up and
// the rest 0xA5; `taken` 0 leaves every other field empty.
BackupCopy Param41(std::size_t counted, std::size_t size, int64_t taken) {
  BackupCopy copy;
  copy.kind = BackupKind::Param41;
  copy.taken = taken;
  for (std::size_t i = 0; i < counted; ++i)
    copy.bytes.push_back(static_cast<uint8_t>(i));
  copy.bytes.resize(size, 0xA5);
  return copy;
}

constexpr int64_t kTaken = INT64_C(0x0123456789ABCDEF);

// The last is the largest copy a file holds.
INSTANTIATE_TEST_SUITE_P(Copies, BackupRoundTrip,
                         ::testing::Values(Image(), LongestFieldsImage(),
                                           Param41(1500, 1500, kTaken), Param41(0, 0, 0),
                                           Param41(1500, kBackupMaxCopy, kTaken)));

TEST(BackupFile, EveryChangedByteIsRefused) {
  const std::vector<uint8_t> file = BackupEncode(Image());
  ASSERT_FALSE(file.empty());
  for (std::size_t at = 0; at < file.size(); ++at) {
    for (const uint8_t flip : {0x01, 0x80, 0xFF}) {
      std::vector<uint8_t> damaged = file;
      damaged[at] ^= flip;
      BackupCopy read;
      Fault fault;
      EXPECT_FALSE(BackupDecode(damaged.data(), damaged.size(), read, &fault))
          << "byte " << at << " ^ " << int(flip);
      EXPECT_TRUE(fault.Said());
      EXPECT_TRUE(read.bytes.empty()) << "a refused file leaves the copy alone";
    }
  }
}

// A file cut short says how long it is and how long it needs to be: the
// header alone is 209 bytes, the whole file 209 + 16384 + 32.
TEST(BackupFile, EveryShorterFileIsRefused) {
  const std::vector<uint8_t> file = BackupEncode(Image());
  for (std::size_t size = 0; size < file.size(); ++size) {
    // A buffer of exactly that size, so that a read past its end is caught.
    const std::vector<uint8_t> cut(file.begin(), file.begin() + size);
    BackupCopy read;
    Fault fault;
    EXPECT_FALSE(BackupDecode(cut.data(), size, read, &fault)) << size;
    const std::string says = "the file is cut short: " + std::to_string(size) + " bytes, ";
    EXPECT_EQ(fault.text, size < 8     ? "not an Ostrel backup file"
                          : size < 209 ? says + "the header alone needs 209"
                                       : says + "the header, a copy of 16384 bytes and the "
                                                "digest need 16625")
        << size;
  }
}

// The digest written again after a change, as a careless or hostile writer
// would, so that the checks behind it are reached.
void Resign(std::vector<uint8_t>& file) {
  uint8_t digest[kSha256Size];
  ASSERT_TRUE(Sha256(file.data(), file.size() - kSha256Size, digest));
  std::copy(std::begin(digest), std::end(digest), file.end() - kSha256Size);
}

using Change = std::function<void(std::vector<uint8_t>&)>;

// Makes `change`, then writes the digest again.
Change Resigned(Change change) {
  return [=](std::vector<uint8_t>& f) {
    change(f);
    Resign(f);
  };
}

// Writes `bytes` at `at`, then the digest again.
Change Resigned(std::size_t at, const std::string& bytes) {
  return Resigned([=](auto& f) { std::copy(bytes.begin(), bytes.end(), f.begin() + at); });
}

struct Damage {
  const char* name;
  Change change;
  const char* error;
};

class BackupRefusal : public ::testing::TestWithParam<Damage> {};

TEST_P(BackupRefusal, NamesWhatIsWrong) {
  std::vector<uint8_t> file = BackupEncode(Image());
  GetParam().change(file);
  BackupCopy read;
  Fault fault;
  EXPECT_FALSE(BackupDecode(file.data(), file.size(), read, &fault));
  EXPECT_STREQ(fault.text, GetParam().error);
}

const char kDamaged[] = "the file is damaged: its SHA-256 does not match";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, BackupRefusal, ::testing::ValuesIn(std::vector<Damage>{
    {"BareImage", [](auto& f) { f.assign(16384, 0); }, "not an Ostrel backup file"},
    {"Magic", [](auto& f) { f[7] = 'X'; }, "not an Ostrel backup file"},
    {"Version", [](auto& f) { f[8] = 7; }, "format version 7 is not known"},
    {"Digest", [](auto& f) { f.back() ^= 1; }, kDamaged},
    {"Copy", [](auto& f) { f[209] ^= 1; }, kDamaged},
    {"TrailingByte", [](auto& f) { f.push_back(0); },
     "the file is damaged: it is 16626 bytes, its copy length says 16625"},
    {"HugeLength", [](auto& f) { f[208] = 0x7F; },
     "the file is damaged: its copy of 2130722816 bytes is larger than a backup holds"},
    {"Kind", Resigned(10, "\x03"), "copy kind 3 is not known"},
    {"LongLayout", Resigned(12, std::string(16, 'L')), "the layout name is longer than 15 characters"},
    {"LongFirmware", Resigned(28, std::string(163, 'F')), "the firmware text is longer than 162 characters"},
    {"Reserved", Resigned(11, "\x01"), "the reserved byte is 1, not 0"},
    // "7420-1.4" ends at byte 20, "INT7420-MAC-1.1.3" at byte 45.
    {"AfterTheLayout", Resigned(27, "x"), "byte 27, after the end of the layout name, is 120, not 0"},
    {"AfterTheFirmware", Resigned(46, "\x01"), "byte 46, after the end of the firmware text, is 1, not 0"},
    {"OtherAddress", Resigned(196, "\x57"),
     "the header's address 00:b0:52:12:34:57 differs from the image's 00:b0:52:12:34:56"},
    {"UnknownLayout", Resigned(19, "9"), "the layout \"7420-1.9\" is not known"},
    {"OtherLayoutsSize", Resigned(12, std::string("7500\0\0\0\0", 8)),
     "the copy is 16384 bytes; a 7500 image is 32768 bytes"},
    {"OtherLayout", Resigned(19, "3"), "the image does not open as a 7420-1.3 image "
     "(PibOpen code 3: PIB: version 1.3 expected, 1.4 found)"},
    {"ImageThatDoesNotOpen", Resigned([](auto& f) { f[209] ^= 1; }),
     "the image does not open as a 7420-1.4 image (PibOpen code 2: header at 0x0000: "
     "header checksum 0xe6e5d260 expected, 0xe6e5d261 found)"},
    {"Param41WithALayout", Resigned(10, "\x02"),
     "the header names the layout \"7420-1.4\", a parameter-41 copy has none"},
    {"Param41WithAnAddress", Resigned(10, "\x02" + std::string(17, '\0')),
     "the header's address 00:b0:52:12:34:56 differs from a parameter-41 copy's 00:00:00:00:00:00"}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(BackupFile, FieldsOverTheirLimitsAreNotWritten) {
  enum { kNotEncoded = 1, kNotHeld = 2 }; // not written, nor taken into a strategy's copy
  // clang-format off
  const struct {
    const char* what;
    std::function<void(BackupCopy&)> change;
    int refused;
  } cases[] = {
      {"long firmware", [](auto& c) { c.firmware = std::string(163, 'F'); }, kNotEncoded | kNotHeld},
      {"long layout", [](auto& c) { c.layout = std::string(16, 'L'); }, kNotEncoded | kNotHeld},
      {"would read back as 7420", [](auto& c) { c.layout = std::string("7420\0x", 6); }, kNotEncoded},
      {"would read back as FW", [](auto& c) { c.firmware = std::string("FW\0x", 4); }, kNotEncoded},
      {"one byte more than the largest image",
       [](auto& c) { c = LongestFieldsImage(); c.bytes.push_back(0); }, kNotHeld},
      {"unknown kind", [](auto& c) { c.kind = static_cast<BackupKind>(3); }, kNotEncoded},
      {"too large", [](auto& c) { c.bytes.assign(kBackupMaxCopy + 1, 0); }, kNotEncoded},
  };
  // clang-format on
  static PowerSaveCopy held;
  for (const auto& c : cases) {
    BackupCopy copy = Image();
    c.change(copy);
    if (c.refused & kNotEncoded) {
      EXPECT_TRUE(BackupEncode(copy).empty()) << c.what;
    }
    if (c.refused & kNotHeld) {
      EXPECT_FALSE(BackupToCopy(copy, held)) << c.what;
    }
  }
}

} // namespace
