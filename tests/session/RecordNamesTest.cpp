// The names a record's words take in the history, the listings and JSON.

#include "session/RecordNames.h"

#include <gtest/gtest.h>

namespace {

// Every name parses back to its value; a near miss parses as nothing and
// leaves the value alone.
template <typename Enum> void ExpectNames(const char* nearMiss) {
  for (std::size_t i = 0; i < std::size(EnumNames<Enum>::kNames); ++i) {
    const Enum value = static_cast<Enum>(i);
    Enum parsed = static_cast<Enum>(i == 0 ? 1 : 0);
    EXPECT_TRUE(ParseName(NameOf(value), parsed) && parsed == value) << NameOf(value);
    EXPECT_FALSE(ParseName(nearMiss, parsed)) << nearMiss;
    EXPECT_EQ(parsed, value) << nearMiss;
  }
}

TEST(RecordNames, EachNameParsesBackAndNothingElseDoes) {
  EXPECT_STREQ(NameOf(HistoryProgram::Dialog), "Ostrel.exe");
  EXPECT_STREQ(NameOf(AdapterFamily::QualcommAtheros), "qualcomm-atheros");
  EXPECT_STREQ(NameOf(HistoryResult::Unverified), "unverified");
  ExpectNames<HistoryProgram>("ostrel.exe");
  ExpectNames<HistoryAction>("On");
  ExpectNames<AdapterFamily>("broadcom ");
  ExpectNames<PowerSaveState>("");
  ExpectNames<HistoryResult>("ok");
}

} // namespace
