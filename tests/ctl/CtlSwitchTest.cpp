// on and off: what each way a switch can end does, and what it writes.

#include "CtlFixture.h"

#include <string>
#include <vector>

namespace {

using Switch = CtlFixture;

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
    std::string adapter;
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
                            (c.adapter.empty() ? "" : " " + c.adapter);
    const auto has = [&](char knob) { return c.adapter.find(knob) != std::string::npos; };
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
    EXPECT_EQ(Facts(run), c.facts) << row;
    EXPECT_EQ(run.target, c.args[0] == "on" ? PowerSaveState::On : PowerSaveState::Off) << row;
    EXPECT_EQ(std::to_string(Calls("WriteLocalPIB") + Calls("BrcmSetParam")) +
                  std::to_string(Calls("ResetLocalDev")) + std::to_string(Copies().size()),
              c.calls)
        << row;
    if (!run.write)
      continue;
    const SessionWrite& write = *run.write;
    EXPECT_EQ(write.copyFault.empty(), !has('F')) << row;
    EXPECT_EQ(write.historyFault.empty(), !has('F')) << row;
    if (has('K')) {
      EXPECT_EQ(write.stateAfter, PowerSaveState::Off) << row;
    }
    const auto kind = has('K')   ? ReadBackFault::Kind::StateDiffers
                      : has('U') ? ReadBackFault::Kind::StateUnreadable
                                 : ReadBackFault::Kind::None;
    EXPECT_EQ(write.readBackFault.kind, kind) << row;
    if (has('B')) {
      EXPECT_EQ(fake.param[5], 0x00);
    }
  }
}

} // namespace
