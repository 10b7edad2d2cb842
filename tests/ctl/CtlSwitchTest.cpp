// status, on and off: what the host and the adapter answer before a command
// runs, what status finds, and what each way a switch ends does.

#include "CtlFixture.h"

#include <string>
#include <vector>

namespace {

using Switch = CtlFixture;

// The adapter as status found it: "family/firmware/strategy/state", or
// "family/(record unread)"; "" when it found none.
std::string FoundOf(const CtlResult& result) {
  if (!result.found)
    return "";
  const CtlFound& found = *result.found;
  const std::string family = NameOf(found.family);
  if (found.recordUnread)
    return family + "/(record unread)";
  return family + "/" + found.firmware + "/" + found.strategy + "/" + NameOf(found.powerSave);
}

// Each row: what the host and the adapter answer status (CtlFixture::Given),
// the run's facts, what it found and the host's line its failure carries.
// Only a run that took the lock reaches the adapter.
TEST_F(Switch, StatusNamesTheFamilyFirmwareStrategyAndState) {
  const std::string qca = "qualcomm-atheros/INT7420-MAC-1.1.3/7420-1.1/";
  // clang-format off
  const struct { const char *knobs, *facts; std::string found; const char* text; } cases[] = {
      {"", "0", qca + "off", "(none)"},
      {"B", "0", "broadcom//broadcom/on", "(none)"},
      {"M", "0", qca + "off", "(none)"}, // the host moved the data folder: the run says from where
      // Firmware no strategy serves is a fact, not a failure.
      {"S", "0", "qualcomm-atheros/INT7420-MAC-2.0.1/none/unavailable", "(none)"},
      {"P", "1 state_unreadable", qca + "unavailable", ""},
      {"D", "1 record_unread", "qualcomm-atheros/(record unread)", ""},
      {"N", "3 no_adapter", "", ""},
      {"L", "2 library_not_loaded", "", "Kelvane.dll: not found"},
      {"H", "4 in_use", "", "in use"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.knobs);
    Given(c.knobs);
    const CtlResult run = Run({"status"});
    EXPECT_EQ(Facts(run), c.facts);
    EXPECT_EQ(FoundOf(run), c.found);
    EXPECT_EQ(FailureText(run), c.text);
    EXPECT_EQ(run.movedFrom, *c.knobs == 'M' ? "C:\\old\\Ostrel" : "");
    EXPECT_EQ(fake.calls.empty(), c.facts[0] == '2' || c.facts[0] == '4');
  }
}

// A command line that is wrong reaches nothing, and says so with the usage,
// in JSON too when asked.
TEST_F(Switch, AWrongCommandLineIsAUsageError) {
  const CtlResult run = Run({"status", "--wait", "x", "--json"});
  EXPECT_EQ(Facts(run), "2 usage");
  EXPECT_EQ(FailureText(run), "'--wait x': give whole seconds, at most 86400");
  EXPECT_TRUE(Begins(run.usage, "usage: ostrelctl status")) << run.usage;
  EXPECT_TRUE(run.json);
  EXPECT_EQ(fake.CallsText(), "");
}

// Each row: how the adapter and the data folder answer a switch
// (CtlFixture::Given), the run's facts, and how many writes, resets and
// automatic copies it made.
TEST_F(Switch, EachWayASwitchEndsDoesWhatItSays) {
  // clang-format off
  const struct { std::vector<std::string> args; const char *knobs, *facts, *calls; } cases[] = {
      {{"on"}, "", "0 write:verified", "111"},
      // The state the adapter has is written only when forced.
      {{"off"}, "", "0 already", "000"},
      {{"off", "--force"}, "", "0 write:verified", "111"},
      {{"on", "--no-verify"}, "", "0 write:written", "111"},
      {{"on", "--no-copy"}, "", "0 write:verified", "110"},
      // A copy that cannot be saved stops no write.
      {{"on"}, "F", "0 write:verified unkept:copy,record", "110"},
      {{"on"}, "W", "1 switch_refused write:adapter_refused", "101"},
      // The adapter took the write and only the reset failed: the setting
      // waits for its next restart.
      {{"on"}, "R", "1 reset_failed write:reset_failed", "111"},
      {{"on"}, "K", "1 read_back_differs write:read_back_differs/state_differs", "111"},
      {{"on"}, "U", "1 read_back_unreadable write:read_back_unreadable/state_unreadable", "111"},
      // A parameter-41 adapter switches through the same rules.
      {{"on"}, "B", "0 already", "000"},
      {{"off"}, "B", "0 write:verified", "101"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.knobs);
    Given(c.knobs);
    const CtlResult run = Run(c.args);
    EXPECT_EQ(Facts(run), c.facts);
    EXPECT_EQ(run.target, c.args[0] == "on" ? PowerSaveState::On : PowerSaveState::Off);
    EXPECT_EQ(std::to_string(Calls("WriteLocalPIB") + Calls("BrcmSetParam")) +
                  std::to_string(Calls("ResetLocalDev")) + std::to_string(Copies()),
              c.calls);
    // The state it read back, and the Broadcom adapter's bit, are off.
    if (run.write && c.knobs[0] == 'K') {
      EXPECT_EQ(run.write->stateAfter, PowerSaveState::Off);
    }
    EXPECT_EQ(fake.param[5], c.knobs[0] == 'B' && !run.write ? 0x80 : 0x00);
  }
}

} // namespace
