#include "devicesim/SimProfile.h"

#include <gtest/gtest.h>

namespace {

TEST(SimProfile, ReadsEveryKeyTakesRelativePathsFromTheProfilesFolderAndDefaultsTheRest) {
  const std::string text = "# a 7500 adapter\n"
                           "family = 1\n"
                           "firmware = MAC-7500-2.0.1 # trailing comment\n"
                           "  image=images/a.nvm  \r\n"
                           "create = 7500\n"
                           "param41 = /abs/p41.bin\n"
                           "powersave = on\n"
                           "fail = WriteLocalPIB, ResetLocalDev ,\n"
                           "drop = BrcmSetParam\n"
                           "delay_ms = 250\n"
                           "trace = trace.log\n"
                           "pump_ms = 1500\n"
                           "hang = BrcmGetParam\n"
                           "gate = WriteLocalPIB, ResetLocalDev\n"
                           "gate_open = go\n"
                           "\n";
  SimProfile profile;
  std::string error;
  ASSERT_TRUE(ParseSimProfile(text, "/profiles", profile, error)) << error;
  EXPECT_EQ(profile.family, 1);
  EXPECT_EQ(profile.firmware, "MAC-7500-2.0.1");
  EXPECT_EQ(profile.image, "/profiles/images/a.nvm");
  EXPECT_EQ(profile.create, "7500");
  EXPECT_EQ(profile.param41, "/abs/p41.bin");
  EXPECT_TRUE(profile.powerSaveOn);
  EXPECT_EQ(profile.fail, (std::vector<std::string>{"WriteLocalPIB", "ResetLocalDev"}));
  EXPECT_TRUE(profile.Fails("ResetLocalDev"));
  EXPECT_FALSE(profile.Fails("GetLocalPIB"));
  EXPECT_TRUE(profile.Drops("BrcmSetParam"));
  EXPECT_FALSE(profile.Drops("WriteLocalPIB"));
  EXPECT_EQ(profile.delayMs, 250);
  EXPECT_EQ(profile.trace, "/profiles/trace.log");
  EXPECT_EQ(profile.pumpMs, 1500);
  EXPECT_EQ(profile.hang, "BrcmGetParam");
  EXPECT_EQ(profile.gate, (std::vector<std::string>{"WriteLocalPIB", "ResetLocalDev"}));
  EXPECT_EQ(profile.gateOpen, "/profiles/go");
  // A Windows absolute path stays as given.
  SimProfile windows;
  ASSERT_TRUE(ParseSimProfile("image = C:\\sim\\a.nvm\n", "/profiles", windows, error));
  EXPECT_EQ(windows.image, "C:\\sim\\a.nvm");
  // An empty profile is the default adapter.
  SimProfile empty;
  ASSERT_TRUE(ParseSimProfile("# nothing\n", "", empty, error));
  EXPECT_EQ(empty.family, 1);
  EXPECT_TRUE(empty.firmware.empty());
  EXPECT_FALSE(empty.powerSaveOn);
  EXPECT_TRUE(empty.fail.empty());
}

TEST(SimProfile, ErrorsNameTheLineAndLeaveTheProfileAlone) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"family = 2\nfamily two\n", "line 2: expected 'key = value'"},
      {"family = 256\n", "line 1: family must be a number from 0 to 255"},
      {"family = 1x\n", "line 1: family must be a number from 0 to 255"},
      {"\n\ncreate = 7400\n", "line 3: create must be 7420-1.3, 7420-1.4 or 7500"},
      {"powersave = yes\n", "line 1: powersave must be on or off"},
      {"delay_ms = -5\n", "line 1: delay_ms must be a number of milliseconds"},
      {"colour = blue\n", "line 1: unknown key 'colour'"},
      {"drop = GetLocalPIB\n", "line 1: drop takes WriteLocalPIB, ResetLocalDev and BrcmSetParam"},
      {"pump_ms = 1.5\n", "line 1: pump_ms must be a number of milliseconds"},
      {"family = 1\npump_ms = 600001\n", "line 2: pump_ms must be a number of milliseconds"},
      {"hang = ResetLocalDev\n",
       "line 1: hang takes GetLocalPIB, BrcmGetParam, WriteLocalPIB or BrcmSetParam"},
      {"hang = GetLocalPIB, BrcmGetParam\n",
       "line 1: hang takes GetLocalPIB, BrcmGetParam, WriteLocalPIB or BrcmSetParam"},
      {"gate = GetLocalPIB\n", "gate needs gate_open, the file that lets its calls go on"},
      // One character more than the device record holds.
      {"firmware = 7420-1.1.0-.................................................................."
       "......................................................................................\n",
       "line 1: firmware must be at most 162 characters"},
  };
  for (const auto& c : cases) {
    SimProfile profile;
    profile.family = 9;
    std::string error;
    EXPECT_FALSE(ParseSimProfile(c.text, "", profile, error)) << c.text;
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(profile.family, 9);
  }
}

} // namespace
