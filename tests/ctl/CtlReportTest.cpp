// ostrelctl's JSON: ASCII alone, whatever text the adapter or a path holds.

#include "ctl/CtlReport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(JsonText, EveryTextBecomesAnAsciiString) {
  const struct {
    std::string text;
    const char* json;
  } cases[] = {
      {"", R"("")"},
      {"INT7420-MAC-1.1.3", R"("INT7420-MAC-1.1.3")"},
      {"say \"2.3\\1\"", R"("say \"2.3\\1\"")"},
      {"a\tb\r\n", R"("a\u0009b\u000d\u000a")"},
      {"\x7f", R"("\u007f")"},
      {"caf\xc3\xa9", R"("caf\u00e9")"},
      {"\xf0\x9f\x98\x80", R"("\ud83d\ude00")"},
      // A byte that is no UTF-8 stands for the code point of its value.
      {"fw\xff", R"("fw\u00ff")"},
      {std::string("a\0b", 3), R"("a\u0000b")"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(JsonText(c.text).text, c.json) << c.text;
}

} // namespace

namespace {

using S = CtlSay;

CtlResult Found(bool qca, bool recordUnread) {
  CtlResult result;
  result.found =
      CtlFound{qca ? "qca" : "broadcom", qca, recordUnread, "INT7420-MAC-1.1.3", "pib-field", "on"};
  if (recordUnread)
    result.error = "the adapter's device record cannot be read";
  return result;
}

CtlResult Switched(WriteOutcome outcome, const char* error = "") {
  CtlResult result;
  result.target = PowerSaveState::Off;
  result.write.emplace().outcome = outcome;
  result.write->stateAfter = PowerSaveState::On;
  result.error = error;
  result.errorLine = outcome == WriteOutcome::Refused;
  return result;
}

CtlResult Restored(WriteOutcome outcome, const char* error = "") {
  CtlResult result;
  result.restored = "a.pib";
  result.write.emplace().outcome = outcome;
  result.write->bytes = 16;
  result.error = error;
  return result;
}

CtlResult Undone(bool tried, int status) {
  CtlResult result = tried ? Restored(WriteOutcome::Written) : CtlResult{};
  result.passedOver = {{"T ostrelctl on (r1)", "it changed nothing", "r1"}};
  result.undoRecord = "";
  result.undoTried = tried;
  result.status = status;
  result.error = status == 0 ? "" : "no";
  return result;
}

CtlResult Warned() {
  CtlResult result = Switched(WriteOutcome::Written);
  result.saved = CtlSaved{"b.pib", 8, true, "7420", "00:b0:52:00:00:01"};
  result.warnings = {"cut short"};
  result.unkept = {"no copy"};
  result.movedFrom = "C:\\old";
  return result;
}

CtlResult Listed() {
  HistoryRecord record;
  record.time = "T";
  record.format = HistoryFormat::First;
  CtlResult result;
  result.history = {record};
  return result;
}

CtlResult Usage() {
  CtlResult result;
  result.error = "what?";
  result.usage = "usage: ostrelctl\n";
  return result;
}

// Each row: a result as a person reads it and as JSON reads it.
TEST(CtlRender, EachResultReadsAsTextAndAsJson) {
  const struct {
    CtlResult result;
    std::vector<CtlLine> text;
    const char* json;
  } cases[] = {
      {Found(true, false),
       {{S::Line, "family: qca"},
        {S::Line, "firmware: INT7420-MAC-1.1.3"},
        {S::Line, "strategy: pib-field"},
        {S::Line, "power-save: on"}},
       R"({"family": "qca", "firmware": "INT7420-MAC-1.1.3", "strategy": "pib-field", "power_save": "on"})"},
      // Only a Qualcomm Atheros adapter has a firmware text.
      {Found(false, false),
       {{S::Line, "family: broadcom"},
        {S::Line, "strategy: pib-field"},
        {S::Line, "power-save: on"}},
       R"({"family": "broadcom", "firmware": null, "strategy": "pib-field", "power_save": "on"})"},
      {Found(true, true),
       {{S::Line, "family: qca"},
        {S::Failure, "ostrelctl: the adapter's device record cannot be read"}},
       R"({"family": "qca", "error": "the adapter's device record cannot be read"})"},
      {[] {
         CtlResult result;
         result.target = PowerSaveState::On;
         result.already = true;
         return result;
       }(),
       {{S::Line, "power-save: already on; nothing written"}},
       R"({"written": false, "power_save": "on"})"},
      {Switched(WriteOutcome::Verified),
       {{S::Line, "Disable device power save success!"}, {S::Line, "verified: off"}},
       R"({"written": true, "verified": true, "power_save": "off"})"},
      // A read-back that failed names the state it found first.
      {Switched(WriteOutcome::ReadBackDiffers, "differs"),
       {{S::Failure, "ostrelctl: differs"}},
       R"({"power_save": "on", "written": true, "verified": false, "error": "differs"})"},
      // The adapter's refusal is said as the line it is.
      {Switched(WriteOutcome::Refused, "Disable device power save fail!"),
       {{S::Failure, "Disable device power save fail!"}},
       R"({"written": false, "error": "Disable device power save fail!"})"},
      {Restored(WriteOutcome::Verified),
       {{S::Line, "restored: a.pib (16 bytes written)"}, {S::Line, "verified: 16 bytes"}},
       R"({"restored": "a.pib", "bytes": 16, "verified": true})"},
      {Restored(WriteOutcome::ResetFailed, "reset"),
       {{S::Failure, "ostrelctl: reset"}},
       R"({"written": true, "reset": false, "error": "reset"})"},
      // Undo names its record before a refusal, after a write it tried.
      {Undone(false, 1),
       {{S::Line, "passed over: T ostrelctl on (r1): it changed nothing"},
        {S::Failure, "ostrelctl: no"}},
       R"({"passed_over": ["r1"], "record": null, "error": "no"})"},
      {Undone(true, 1),
       {{S::Line, "passed over: T ostrelctl on (r1): it changed nothing"},
        {S::Line, "restored: a.pib (16 bytes written)"},
        {S::Failure, "ostrelctl: no"}},
       R"({"passed_over": ["r1"], "restored": "a.pib", "bytes": 16, "error": "no", "record": null})"},
      {Undone(true, 0),
       {{S::Line, "passed over: T ostrelctl on (r1): it changed nothing"},
        {S::Line, "restored: a.pib (16 bytes written)"}},
       R"({"passed_over": ["r1"], "restored": "a.pib", "bytes": 16, "undoes": null})"},
      // Warnings come where they were found: a write's after the copy saved
      // before it, a moved folder last.
      {Warned(),
       {{S::Warning, "ostrelctl: warning: cut short"},
        {S::Line, "saved: b.pib (8 bytes)"},
        {S::Line, "layout: 7420"},
        {S::Line, "address: 00:b0:52:00:00:01"},
        {S::Warning, "ostrelctl: warning: no copy"},
        {S::Line, "Disable device power save success!"},
        {S::Warning, "ostrelctl: warning: the copies and the history were moved from C:\\old, "
                     "where this program kept them before, to the folder LOCALAPPDATA names"}},
       R"({"saved": "b.pib", "bytes": 8, "layout": "7420", "address": "00:b0:52:00:00:01", "written": true})"},
      {Listed(),
       {{S::Line, "T  Ostrel.exe  on  unavailable -> unavailable  started"},
        {S::Line, "  qualcomm-atheros"},
        {S::Line, "  copy: none"}},
       R"({"history": [{"time": "T", "program": "Ostrel.exe", "action": "on", "family": "qualcomm-atheros", "address": null, "firmware": null, "before": "unavailable", "after": "unavailable", "result": "started", "copy": null, "id": null, "before_sha256": null, "after_sha256": null, "undoes": null, "length": null, "sent_sha256": null}]})"},
      {Usage(),
       {{S::Failure, "ostrelctl: what?"}, {S::Usage, "usage: ostrelctl\n"}},
       R"({"error": "what?"})"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CtlText(c.result), c.text) << c.json;
    EXPECT_EQ(CtlJson(c.result), std::string(c.json) + "\n");
  }
}

} // namespace
