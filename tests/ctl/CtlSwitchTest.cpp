// on and off: what each way a switch can end says, and what it writes.

#include "CtlFixture.h"

#include <string>
#include <vector>

namespace {

using Switch = CtlFixture;

// Each row: how the adapter and the data folder answer a switch of a 7420
// with power save off ('W' the write is refused, 'R' the reset fails, 'K'
// flash keeps no write, 'U' the read-back cannot fetch the image, 'F' the
// data folder is a file), then what the run says, and how many writes and
// resets reached the adapter and automatic copies were kept.
TEST_F(Switch, EachWayASwitchEndsSaysWhatItDid) {
  const std::string resetFailed = "power save on was written, but the reset after it failed; "
                                  "the adapter takes it at its next restart";
  const std::string stillOff = "verify: the write was sent, and the adapter still reads off";
  const std::string enabled = "Enable device power save success!";
  const struct {
    std::vector<std::string> args;
    std::string adapter;
    CtlExpect expect;
    const char* calls; // writes, resets, copies
  } cases[] = {
      {{"on"},
       "",
       {0,
        {enabled, "verified: on"},
        {},
        {{"written", "true"}, {"verified", "true"}, {"power_save", "\"on\""}, {"error", "(none)"}}},
       "111"},
      // The state the adapter has is written only when forced.
      {{"off"},
       "",
       {0,
        {"power-save: already off; nothing written"},
        {},
        {{"written", "false"}, {"power_save", "\"off\""}}},
       "000"},
      {{"off", "--force"},
       "",
       {0,
        {"Disable device power save success!", "verified: off"},
        {},
        {{"written", "true"}, {"verified", "true"}, {"power_save", "\"off\""}}},
       "111"},
      {{"on", "--no-verify"},
       "",
       {0, {enabled}, {}, {{"written", "true"}, {"verified", "(none)"}}},
       "111"},
      {{"on", "--no-copy"}, "", {0, {enabled, "verified: on"}, {}, {{"written", "true"}}}, "110"},
      // A copy that cannot be saved stops no write; the run says so.
      {{"on"},
       "F",
       {0,
        {enabled, "verified: on"},
        {"ostrelctl: warning: no automatic copy was saved before the write: ",
         "ostrelctl: warning: the write is not in the history: "},
        {{"written", "true"}, {"verified", "true"}}},
       "110"},
      {{"on"},
       "W",
       {1,
        {},
        {"Enable device power save fail!"},
        {{"written", "false"},
         {"error", "\"Enable device power save fail!\""},
         {"error_code", "\"switch_refused\""}}},
       "101"},
      // The adapter took the write and only the reset failed: the setting
      // waits for its next restart.
      {{"on"},
       "R",
       {1,
        {},
        {"ostrelctl: " + resetFailed},
        {{"written", "true"},
         {"reset", "false"},
         {"error", JsonString(resetFailed)},
         {"error_code", "\"reset_failed\""}}},
       "111"},
      {{"on"},
       "K",
       {1,
        {},
        {"ostrelctl: " + stillOff},
        {{"power_save", "\"off\""},
         {"written", "true"},
         {"verified", "false"},
         {"error", JsonString(stillOff)},
         {"error_code", "\"read_back_differs\""}}},
       "111"},
      {{"on"},
       "U",
       {1, {}, {"ostrelctl: verify: "}, {{"written", "true"}, {"verified", "false"}}},
       "111"},
  };
  for (const auto& c : cases) {
    // Windows drops a trailing space from a folder's name.
    const std::string row = c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "") +
                            (c.adapter.empty() ? "" : " " + c.adapter);
    const auto has = [&](char knob) { return c.adapter.find(knob) != std::string::npos; };
    fake.calls.clear();
    fake.image = builder.image;
    fake.getPibResult = 1;
    fake.writePibResult = !has('W');
    fake.resetResult = !has('R');
    fake.storesWrites = !has('K');
    fake.onWrite = [&] { fake.getPibResult = !has('U'); };
    if (has('F'))
      WriteWhole(Path("file"), {'x'});
    DataFolderAt(has('F') ? "file" : "folder " + row);
    ExpectRun(Run(c.args), c.expect, row);
    EXPECT_EQ(std::to_string(Calls("WriteLocalPIB")) + std::to_string(Calls("ResetLocalDev")) +
                  std::to_string(Copies().size()),
              c.calls)
        << row;
  }
}

// A parameter-41 adapter switches through the same rules.
TEST_F(Switch, ABroadcomAdapterSwitchesOnlyWhenItsStateDiffers) {
  UseBroadcom(true);
  ExpectRun(Run({"on"}), {0, {"power-save: already on; nothing written"}, {}, {}}, "already on");
  EXPECT_EQ(Calls("BrcmSetParam"), 0u);
  ExpectRun(Run({"off"}), {0, {"Disable device power save success!", "verified: off"}, {}, {}},
            "off");
  EXPECT_EQ(Calls("BrcmSetParam"), 1u);
  EXPECT_EQ(fake.param[5], 0x00);
}

} // namespace
