// What every command meets before it runs, and what status finds.

#include "CtlFixture.h"

#include <string>
#include <vector>

namespace {

using Fixture = CtlFixture;

// Each row: what the host and the adapter answer, and what `status` says.
TEST_F(Fixture, StatusNamesTheFamilyFirmwareStrategyAndState) {
  const std::string record = "the adapter's device record cannot be read";
  const std::string unread = "the 7420-1.1 strategy cannot read the adapter's power-save state";
  const struct {
    const char* row;
    bool loads, free, broadcom;
    int plcType, devInfo, getPib;
    const char* firmware;
    CtlExpect expect;
  } cases[] = {
      {"qca",
       true,
       true,
       false,
       1,
       1,
       1,
       "INT7420-MAC-1.1.3",
       {0,
        {"family: qualcomm-atheros", "firmware: INT7420-MAC-1.1.3", "strategy: 7420-1.1",
         "power-save: off"},
        {},
        {{"firmware", "\"INT7420-MAC-1.1.3\""}, {"power_save", "\"off\""}}}},
      {"broadcom",
       true,
       true,
       true,
       2,
       1,
       1,
       "",
       {0,
        {"family: broadcom", "strategy: broadcom", "power-save: on"},
        {},
        {{"family", "\"broadcom\""}, {"firmware", "null"}, {"strategy", "\"broadcom\""}}}},
      {"no strategy",
       true,
       true,
       false,
       1,
       1,
       1,
       "INT7420-MAC-2.0.1",
       {0,
        {"family: qualcomm-atheros", "firmware: INT7420-MAC-2.0.1", "strategy: none",
         "power-save: unavailable"},
        {},
        {{"power_save", "\"unavailable\""}, {"error", "(none)"}}}},
      {"image unread",
       true,
       true,
       false,
       1,
       1,
       0,
       "INT7420-MAC-1.1.3",
       {1,
        {"family: qualcomm-atheros", "firmware: INT7420-MAC-1.1.3", "strategy: 7420-1.1",
         "power-save: unavailable"},
        {"ostrelctl: " + unread},
        {{"power_save", "\"unavailable\""},
         {"error", JsonString(unread)},
         {"error_code", "\"state_unreadable\""}}}},
      {"record unread",
       true,
       true,
       false,
       1,
       0,
       1,
       "",
       {1,
        {"family: qualcomm-atheros"},
        {"ostrelctl: " + record},
        {{"family", "\"qualcomm-atheros\""},
         {"strategy", "(none)"},
         {"error", JsonString(record)},
         {"error_code", "\"record_unread\""}}}},
      {"no adapter",
       true,
       true,
       false,
       0,
       1,
       1,
       "",
       {3,
        {},
        {"ostrelctl: no adapter found"},
        {{"error", "\"no adapter found\""}, {"error_code", "\"no_adapter\""}}}},
      {"no library",
       false,
       true,
       false,
       1,
       1,
       1,
       "",
       {2,
        {},
        {"ostrelctl: Kelvane.dll: not found"},
        {{"family", "(none)"}, {"error_code", "\"library_not_loaded\""}}}},
      {"lock taken",
       true,
       false,
       false,
       1,
       1,
       1,
       "",
       {4, {}, {"ostrelctl: in use"}, {{"error", "\"in use\""}, {"error_code", "\"in_use\""}}}},
  };
  for (const auto& c : cases) {
    fake.calls.clear();
    fake.plcType = c.plcType;
    fake.devInfoResult = c.devInfo;
    fake.getPibResult = c.getPib;
    fake.firmware = c.firmware;
    if (c.broadcom)
      UseBroadcom(true);
    HostRefuses(c.loads, c.free);
    ExpectRun(Run({"status"}), c.expect, c.row);
    // Only a run that took the lock reaches the adapter.
    EXPECT_EQ(fake.calls.empty(), !c.loads || !c.free) << c.row;
  }
}

// A command line that is wrong reaches nothing, and says so with the usage.
TEST_F(Fixture, AWrongCommandLineIsAUsageError) {
  const CtlOutput run = Run({"status", "--wait", "x", "--json"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, std::vector<std::string>{});
  ASSERT_EQ(run.err.size(), 2u);
  EXPECT_EQ(run.err[0], "ostrelctl: '--wait x': give whole seconds, at most 86400");
  EXPECT_EQ(run.err[1].rfind("usage: ostrelctl status", 0), 0u) << run.err[1];
  EXPECT_EQ(JsonMember(run.json, "error"), "\"'--wait x': give whole seconds, at most 86400\"");
  EXPECT_EQ(JsonMember(run.json, "error_code"), "\"usage\"");
  EXPECT_EQ(fake.CallsText(), "");
}

} // namespace
