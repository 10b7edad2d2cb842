// What every command meets before it runs, and what status finds.

#include "CtlFixture.h"

#include <string>
#include <vector>

namespace {

using Fixture = CtlFixture;

// The adapter as status found it: "family/firmware/strategy/state", or
// "family/(record unread)"; "" when it found none.
std::string FoundOf(const CtlResult& result) {
  if (!result.found)
    return "";
  const CtlFound& found = *result.found;
  if (found.recordUnread)
    return std::string(NameOf(found.family)) + "/(record unread)";
  return std::string(NameOf(found.family)) + "/" + found.firmware + "/" + found.strategy + "/" +
         NameOf(found.powerSave);
}

// Each row: what the host and the adapter answer, and what `status` finds;
// `text` is the host's line a failure carries.
TEST_F(Fixture, StatusNamesTheFamilyFirmwareStrategyAndState) {
  // clang-format off
  const struct {
    const char* row;
    bool loads, free, broadcom;
    int plcType, devInfo, getPib;
    const char *firmware, *facts, *found, *text;
  } cases[] = {
      {"qca", true, true, false, 1, 1, 1, "INT7420-MAC-1.1.3", "0",
       "qualcomm-atheros/INT7420-MAC-1.1.3/7420-1.1/off", "(none)"},
      {"broadcom", true, true, true, 2, 1, 1, "", "0", "broadcom//broadcom/on", "(none)"},
      // Firmware no strategy serves is a fact, not a failure.
      {"no strategy", true, true, false, 1, 1, 1, "INT7420-MAC-2.0.1", "0",
       "qualcomm-atheros/INT7420-MAC-2.0.1/none/unavailable", "(none)"},
      {"image unread", true, true, false, 1, 1, 0, "INT7420-MAC-1.1.3", "1 state_unreadable",
       "qualcomm-atheros/INT7420-MAC-1.1.3/7420-1.1/unavailable", ""},
      {"record unread", true, true, false, 1, 0, 1, "", "1 record_unread",
       "qualcomm-atheros/(record unread)", ""},
      {"no adapter", true, true, false, 0, 1, 1, "", "3 no_adapter", "", ""},
      {"no library", false, true, false, 1, 1, 1, "", "2 library_not_loaded", "", "Kelvane.dll: not found"},
      {"lock taken", true, false, false, 1, 1, 1, "", "4 in_use", "", "in use"},
  };
  // clang-format on
  for (const auto& c : cases) {
    fake.calls.clear();
    fake.plcType = c.plcType;
    fake.devInfoResult = c.devInfo;
    fake.getPibResult = c.getPib;
    fake.firmware = c.firmware;
    if (c.broadcom)
      UseBroadcom(true);
    HostRefuses(c.loads, c.free);
    const CtlResult run = Run({"status"});
    EXPECT_EQ(Facts(run), c.facts) << c.row;
    EXPECT_EQ(FoundOf(run), c.found) << c.row;
    EXPECT_EQ(FailureText(run), c.text) << c.row;
    // Only a run that took the lock reaches the adapter.
    EXPECT_EQ(fake.calls.empty(), !c.loads || !c.free) << c.row;
  }
}

// A command line that is wrong reaches nothing, and says so with the usage,
// in JSON too when asked.
TEST_F(Fixture, AWrongCommandLineIsAUsageError) {
  const CtlResult run = Run({"status", "--wait", "x", "--json"});
  EXPECT_EQ(Facts(run), "2 usage");
  EXPECT_EQ(FailureText(run), "'--wait x': give whole seconds, at most 86400");
  EXPECT_TRUE(Begins(run.usage, "usage: ostrelctl status")) << run.usage;
  EXPECT_TRUE(run.json);
  EXPECT_EQ(fake.CallsText(), "");
}

} // namespace
