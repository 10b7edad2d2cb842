// on and off: what each way a switch can end says, and what it writes.

#include "CtlFixture.h"

#include <string>
#include <vector>

namespace {

using Switch = CtlFixture;

// Each row: how the adapter and the data folder answer a switch of a 7420
// with power save off, then what the run says, how many writes and resets
// reached the adapter, and how many automatic copies were kept.
TEST_F(Switch, EachWayASwitchEndsSaysWhatItDid) {
  const std::string resetFailed = "power save on was written, but the reset after it failed; "
                                  "the adapter takes it at its next restart";
  const std::string stillOff = "verify: the write was sent, and the adapter still reads off";
  const std::string success[] = {"Enable device power save success!", "verified: on"};
  const struct {
    const char* row;
    std::vector<std::string> args;
    int writeResult, resetResult;
    bool stores, readableAfter, folderIsFile;
    CtlExpect expect;
    std::size_t writes, resets, copies;
  } cases[] = {
      {"on", {"on"}, 1, 1, true, true, false,
       {0, {success[0], success[1]}, {},
        {{"written", "true"}, {"verified", "true"}, {"power_save", "\"on\""}, {"error", "(none)"}}},
       1, 1, 1},
      // The state the adapter has is written only when forced.
      {"already off", {"off"}, 1, 1, true, true, false,
       {0, {"power-save: already off; nothing written"}, {},
        {{"written", "false"}, {"power_save", "\"off\""}}},
       0, 0, 0},
      {"off forced", {"off", "--force"}, 1, 1, true, true, false,
       {0, {"Disable device power save success!", "verified: off"}, {},
        {{"written", "true"}, {"verified", "true"}, {"power_save", "\"off\""}}},
       1, 1, 1},
      {"no read-back", {"on", "--no-verify"}, 1, 1, true, true, false,
       {0, {success[0]}, {}, {{"written", "true"}, {"verified", "(none)"}}}, 1, 1, 1},
      {"no copy", {"on", "--no-copy"}, 1, 1, true, true, false,
       {0, {success[0], success[1]}, {}, {{"written", "true"}}}, 1, 1, 0},
      // A copy that cannot be saved stops no write; the run says so.
      {"copy not saved", {"on"}, 1, 1, true, true, true,
       {0, {success[0], success[1]},
        {"ostrelctl: warning: no automatic copy was saved before the write: ",
         "ostrelctl: warning: the write is not in the history: "},
        {{"written", "true"}, {"verified", "true"}}},
       1, 1, 0},
      {"adapter refused", {"on"}, 0, 1, true, true, false,
       {1, {}, {"Enable device power save fail!"},
        {{"written", "false"}, {"error", "\"Enable device power save fail!\""}}},
       1, 0, 1},
      // The adapter took the write and only the reset failed: the setting
      // waits for its next restart.
      {"reset failed", {"on"}, 1, 0, true, true, false,
       {1, {}, {"ostrelctl: " + resetFailed},
        {{"written", "true"}, {"reset", "false"}, {"error", JsonString(resetFailed)}}},
       1, 1, 1},
      {"read back differs", {"on"}, 1, 1, false, true, false,
       {1, {}, {"ostrelctl: " + stillOff},
        {{"power_save", "\"off\""}, {"written", "true"}, {"verified", "false"},
         {"error", JsonString(stillOff)}}},
       1, 1, 1},
      {"read back unreadable", {"on"}, 1, 1, true, false, false,
       {1, {}, {"ostrelctl: verify: "}, {{"written", "true"}, {"verified", "false"}}}, 1, 1, 1},
  };
  for (const auto& c : cases) {
    fake.calls.clear();
    fake.image = builder.image;
    fake.getPibResult = 1;
    fake.writePibResult = c.writeResult;
    fake.resetResult = c.resetResult;
    fake.storesWrites = c.stores;
    fake.onWrite = [&] { fake.getPibResult = c.readableAfter; };
    if (c.folderIsFile)
      WriteWhole(Path("file"), {'x'});
    DataFolderAt(c.folderIsFile ? "file" : c.row);
    ExpectRun(Run(c.args), c.expect, c.row);
    EXPECT_EQ(Calls("WriteLocalPIB"), c.writes) << c.row;
    EXPECT_EQ(Calls("ResetLocalDev"), c.resets) << c.row;
    EXPECT_EQ(Copies().size(), c.copies) << c.row;
  }
}

// A parameter-41 adapter switches through the same rules.
TEST_F(Switch, ABroadcomAdapterSwitchesOnlyWhenItsStateDiffers) {
  UseBroadcom(true);
  ExpectRun(Run({"on"}), {0, {"power-save: already on; nothing written"}, {}, {}}, "already on");
  EXPECT_EQ(Calls("BrcmSetParam"), 0u);
  ExpectRun(Run({"off"}),
            {0, {"Disable device power save success!", "verified: off"}, {}, {}}, "off");
  EXPECT_EQ(Calls("BrcmSetParam"), 1u);
  EXPECT_EQ(fake.param[5], 0x00);
}

} // namespace
