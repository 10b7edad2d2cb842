// ostrelctl's commands driven through the fake library: what a run finds
// and its exit status, before any rendering.

#include "ctl/CtlCommands.h"

#include "FakeDeviceLibrary.h"
#include "nvm/NvmImageBuilder.h"
#include "tests/session/SessionTestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A host whose library loads or not, whose lock is free or not, and whose
// data folder is the test's own.
class TestHost final : public CtlHost, public SessionSystem {
public:
  SessionSystem& System() override { return *this; }
  const char* LoadDevice() override { return loads ? nullptr : "Kelvane.dll: not found"; }
  bool Lock(uint32_t, std::string& refusal) override {
    refusal = free ? "" : "in use";
    held = free;
    return free;
  }
  void Unlock() override { held = false; }
  std::string MovedFrom() override { return ""; }
  ClockTime Now() override { return {2026, 12, 8, 7, 21, 31, ticks++}; }
  bool DataFolder(std::string& path, std::string& fault) override {
    path = folder;
    fault.clear();
    return true;
  }
  std::string Utf8Of(std::string_view text) override { return std::string(text); }

  bool loads = true;
  bool free = true;
  bool held = false;
  unsigned ticks = 0;
  std::string folder = SessionTestFolder();
};

// Each row: a command line against an adapter with power save off, its exit
// status, and the facts or failure that decide what it says.
TEST(CtlCommands, EachRunEndsWithItsStatusAndFacts) {
  const struct {
    std::vector<std::string> args;
    bool loads, free;
    int plcType;
    int status;
    const char* error;
    const char* powerSave; // what status reads, or what a write left
  } cases[] = {
      {{"status"}, true, true, 1, 0, "", "off"},
      {{"on", "--json"}, true, true, 1, 0, "", "on"},
      {{"off"}, true, true, 1, 0, "", "off"},
      {{"status"}, false, true, 1, 2, "Kelvane.dll: not found", ""},
      {{"status"}, true, false, 1, 4, "in use", ""},
      {{"status"}, true, true, 0, 3, "no adapter found", ""},
      {{"status", "--wait", "x"},
       true,
       true,
       1,
       2,
       "'--wait x': give whole seconds, at most 86400",
       ""},
  };
  for (const auto& c : cases) {
    FakeDeviceLibrary fake;
    const NvmImageBuilder builder(kPibLayout74201D4, false);
    fake.plcType = c.plcType;
    fake.firmware = "INT7420-MAC-1.1.3";
    fake.image = builder.image;
    fake.storesWrites = true;
    TestHost host;
    host.loads = c.loads;
    host.free = c.free;
    std::vector<std::string> args{"ostrelctl"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CtlResult result = CtlRun(args, host);
    const std::string line = c.args[0] + (c.loads ? "" : " unloaded") + (c.free ? "" : " locked");
    EXPECT_EQ(result.status, c.status) << line;
    EXPECT_FALSE(host.held) << line;
    std::string failure;
    for (const CtlLine& said : CtlText(result)) {
      if (said.say == CtlSay::Failure)
        failure = said.text.substr(std::string("ostrelctl: ").size());
    }
    EXPECT_EQ(failure, c.error) << line;
    // Only a command line that is wrong brings the usage.
    EXPECT_EQ(result.usage.empty(), c.error[0] != '\'') << line;
    if (result.found) {
      EXPECT_EQ(PowerSaveStateName(result.found->powerSave), std::string(c.powerSave)) << line;
    }
    if (result.write) {
      EXPECT_EQ(PowerSaveStateName(result.write->stateAfter), std::string(c.powerSave)) << line;
    }
    EXPECT_EQ(result.already, c.args[0] == "off") << line;
    EXPECT_EQ(result.json, c.args.size() > 1 && c.args[1] == "--json") << line;
  }
}

} // namespace
