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

// Each row: how the host and a 7420 with power save off answer status ('L'
// the library does not load, 'H' another program holds the lock, 'B' a
// Broadcom adapter with power save on instead, 'N' no adapter, 'S' firmware
// that no strategy serves, 'D' the device record cannot be read, 'P' nor the
// image), then the run's facts, what it found and the host's line its
// failure carries.
TEST_F(Switch, StatusNamesTheFamilyFirmwareStrategyAndState) {
  const char* const firmware = "qualcomm-atheros/INT7420-MAC-1.1.3/7420-1.1/";
  // clang-format off
  const struct {
    const char *knobs, *facts;
    std::string found;
    const char* text;
  } cases[] = {
      {"", "0", firmware + std::string("off"), "(none)"},
      {"B", "0", "broadcom//broadcom/on", "(none)"},
      // Firmware no strategy serves is a fact, not a failure.
      {"S", "0", "qualcomm-atheros/INT7420-MAC-2.0.1/none/unavailable", "(none)"},
      {"P", "1 state_unreadable", firmware + std::string("unavailable"), ""},
      {"D", "1 record_unread", "qualcomm-atheros/(record unread)", ""},
      {"N", "3 no_adapter", "", ""},
      {"L", "2 library_not_loaded", "", "Kelvane.dll: not found"},
      {"H", "4 in_use", "", "in use"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.knobs);
    const auto has = [&](char knob) {
      return std::string(c.knobs).find(knob) != std::string::npos;
    };
    fake.calls.clear();
    fake.plcType = has('N') ? 0 : 1;
    fake.devInfoResult = !has('D');
    fake.getPibResult = !has('P');
    fake.firmware = has('S') ? "INT7420-MAC-2.0.1" : "INT7420-MAC-1.1.3";
    if (has('B'))
      UseBroadcom(true);
    HostRefuses(!has('L'), !has('H'));
    const CtlResult run = Run({"status"});
    EXPECT_EQ(Facts(run), c.facts);
    EXPECT_EQ(FoundOf(run), c.found);
    EXPECT_EQ(FailureText(run), c.text);
    // Only a run that took the lock reaches the adapter.
    EXPECT_EQ(fake.calls.empty(), has('L') || has('H'));
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

// Each row: how the adapter and the data folder answer a switch of a 7420
// with power save off ('B' a Broadcom adapter with power save on instead,
// 'W' the write is refused, 'R' the reset fails, 'K' flash keeps no write,
// 'U' the read-back cannot fetch the image, 'F' the data folder is a file),
// then the run's facts, and how many writes and resets reached the adapter
// and automatic copies were kept.
TEST_F(Switch, EachWayASwitchEndsDoesWhatItSays) {
  // clang-format off
  const struct {
    std::vector<std::string> args;
    std::string knobs;
    const char* facts;
    const char* calls; // writes, resets, copies
  } cases[] = {
      {{"on"}, "", "0 write:verified", "111"},
      // The state the adapter has is written only when forced.
      {{"off"}, "", "0 already", "000"},
      {{"off", "--force"}, "", "0 write:verified", "111"},
      {{"on", "--no-verify"}, "", "0 write:written", "111"},
      {{"on", "--no-copy"}, "", "0 write:verified", "110"},
      // A copy that cannot be saved stops no write; the run says so.
      {{"on"}, "F", "0 write:verified", "110"},
      {{"on"}, "W", "1 switch_refused write:adapter_refused", "101"},
      // The adapter took the write and only the reset failed: the setting
      // waits for its next restart.
      {{"on"}, "R", "1 reset_failed write:reset_failed", "111"},
      {{"on"}, "K", "1 read_back_differs write:read_back_differs", "111"},
      {{"on"}, "U", "1 read_back_unreadable write:read_back_unreadable", "111"},
      // A parameter-41 adapter switches through the same rules.
      {{"on"}, "B", "0 already", "000"},
      {{"off"}, "B", "0 write:verified", "101"},
  };
  // clang-format on
  for (const auto& c : cases) {
    // Windows drops a trailing space from a folder's name.
    const std::string row = c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "") +
                            (c.knobs.empty() ? "" : " " + c.knobs);
    SCOPED_TRACE(row);
    const auto has = [&](char knob) { return c.knobs.find(knob) != std::string::npos; };
    fake.calls.clear();
    fake.plcType = 1;
    fake.image = builder.image;
    fake.getPibResult = 1;
    fake.writePibResult = !has('W');
    fake.resetResult = !has('R');
    fake.storesWrites = !has('K');
    fake.onWrite = [&] { fake.getPibResult = !has('U'); };
    if (has('B'))
      UseBroadcom(true);
    if (has('F'))
      WriteWhole(Path("file"), {'x'});
    DataFolderAt(has('F') ? "file" : "folder " + row);
    const CtlResult run = Run(c.args);
    EXPECT_EQ(Facts(run), c.facts);
    EXPECT_EQ(run.target, c.args[0] == "on" ? PowerSaveState::On : PowerSaveState::Off);
    EXPECT_EQ(std::to_string(Calls("WriteLocalPIB") + Calls("BrcmSetParam")) +
                  std::to_string(Calls("ResetLocalDev")) + std::to_string(Copies().size()),
              c.calls);
    if (!run.write)
      continue;
    const SessionWrite& write = *run.write;
    EXPECT_EQ(write.copyFault.empty(), !has('F'));
    EXPECT_EQ(write.historyFault.empty(), !has('F'));
    EXPECT_TRUE(!has('K') || write.stateAfter == PowerSaveState::Off);
    const auto kind = has('K')   ? ReadBackFault::Kind::StateDiffers
                      : has('U') ? ReadBackFault::Kind::StateUnreadable
                                 : ReadBackFault::Kind::None;
    EXPECT_EQ(write.readBackFault.kind, kind);
    EXPECT_TRUE(!has('B') || fake.param[5] == 0x00); // the Broadcom adapter's bit, off
  }
}

} // namespace
