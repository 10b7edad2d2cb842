// ostrelctl's report: JSON in ASCII alone, whatever text the adapter or a
// path holds; every result and failure as a person and as JSON read it.

#include "ctl/CtlReport.h"
#include "ctl/CtlCommands.h"

#include <gtest/gtest.h>

#include <optional>
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

using S = CtlSay;
using F = CtlFailure;
using O = WriteOutcome;
using K = ReadBackFault::Kind;

CtlError Err(F code, const std::string& text = "") {
  return {code, text, "", CtlLeft::Unsaid};
}

// What a person reads, a line each; a warning begins "! ", the failure "x ",
// the usage "? ".
std::vector<std::string> Said(const CtlResult& result) {
  std::vector<std::string> said;
  for (const CtlLine& line : CtlText(result))
    said.push_back(std::string(line.say == S::Line      ? ""
                               : line.say == S::Warning ? "! "
                               : line.say == S::Failure ? "x "
                                                        : "? ") +
                   line.text);
  return said;
}

CtlResult Found(AdapterFamily family, bool recordUnread) {
  CtlResult result;
  result.found =
      CtlFound{family, recordUnread, "INT7420-MAC-1.1.3", "pib-field", PowerSaveState::On};
  if (recordUnread)
    result.failure = Err(F::RecordUnread);
  return result;
}

// A switch to off that read back on, or a restore of the 16 bytes of a.pib
// that read back 0xf0 for 0x0a at byte 7. How a failure is said is the
// failure table's.
CtlResult Wrote(bool restore, O outcome) {
  CtlResult result;
  if (restore)
    result.restored = "a.pib";
  else
    result.target = PowerSaveState::Off;
  SessionWrite& write = result.write.emplace();
  write.outcome = outcome;
  write.bytes = 16;
  write.stateAfter = PowerSaveState::On;
  if (outcome == O::ReadBackDiffers)
    write.readBackFault = restore ? ReadBackFault{K::CopyDiffers, 7, 0x0a, 0xf0, 16, ""}
                                  : ReadBackFault{K::StateDiffers, 0, 0, 0, 0, ""};
  if (outcome == O::ReadBackUnreadable)
    write.readBackFault.kind = restore ? K::CopyUnreadable : K::StateUnreadable;
  return result;
}

CtlResult Undone(bool tried, int status, UndoPassReason why) {
  CtlResult result = tried ? Wrote(true, O::Written) : CtlResult{};
  result.passedOver = {{{"r1", "T", HistoryProgram::Ctl, HistoryAction::On}, why}};
  result.undoRecord = CtlRecord{"", "T0", HistoryProgram::Dialog, HistoryAction::Off};
  result.undoTried = tried;
  result.status = status;
  if (status != 0)
    result.failure = tried ? CtlError{F::RestoreRefused, "no", "a.pib", CtlLeft::NothingWritten}
                           : CtlError{F::UndoCopyUnread, "gone", "", CtlLeft::NothingWritten};
  return result;
}

CtlResult Warned() {
  CtlResult result = Wrote(false, O::Written);
  result.saved = CtlSaved{"b.pib", 8, true, "7420", "00:b0:52:00:00:01"};
  result.cutShort = UnfinishedWrite{HistoryProgram::Ctl, "T", "", true};
  result.write->copyFault = "full";
  result.write->historyFault = "denied";
  result.write->historyMovedTo = "h-1.txt";
  result.write->historyMovedWhy = "damaged";
  result.movedFrom = "C:\\old";
  return result;
}

// A record as the first format kept it, or one with every field, or, with
// `foreign`, none and two lines that are no record in a file this program
// does not read.
CtlResult Listed(bool full, const std::string& foreign = "") {
  HistoryRecord record;
  record.time = "T";
  record.format = HistoryFormat::First;
  // clang-format off
  if (full)
    record = {"T", HistoryProgram::Ctl, HistoryAction::Undo, AdapterFamily::QualcommAtheros,
              "00:b0:52:00:00:01", "FW", PowerSaveState::Off, PowerSaveState::On, HistoryResult::Done,
              "c.pib", "r2", "aaaaaaaaaaaaaa", "bbbbbbbbbbbbbb", "r1", 0, ""};
  // clang-format on
  CtlResult result;
  result.history = foreign.empty() ? CtlHistory{"h.txt", {record}, "", {}}
                                   : CtlHistory{"h.txt", {}, foreign, {2, 5}};
  return result;
}

CtlResult Cut(HistoryProgram program, const std::string& address) {
  CtlResult result;
  result.cutShort = UnfinishedWrite{program, "T", address, false};
  return result;
}

// Each row: a result as a person reads it and as JSON reads it. What was
// found before anything else is said as warnings, which JSON leaves out.
TEST(CtlRender, EachResultReadsAsTextAndAsJson) {
  CtlResult already, usage;
  already.target = PowerSaveState::On;
  already.already = true;
  usage.failure = Err(F::Usage, "what?");
  usage.usage = "usage: ostrelctl\n";
  // clang-format off
  const struct { CtlResult result; std::vector<std::string> said; std::string json; } cases[] = {
      {Found(AdapterFamily::QualcommAtheros, false),
       {"family: qualcomm-atheros", "firmware: INT7420-MAC-1.1.3", "strategy: pib-field", "power-save: on"},
       R"({"family": "qualcomm-atheros", "firmware": "INT7420-MAC-1.1.3", "strategy": "pib-field", )"
       R"("power_save": "on"})"},
      // Only a Qualcomm Atheros adapter has a firmware text.
      {Found(AdapterFamily::Broadcom, false), {"family: broadcom", "strategy: pib-field", "power-save: on"},
       R"({"family": "broadcom", "firmware": null, "strategy": "pib-field", "power_save": "on"})"},
      {Found(AdapterFamily::QualcommAtheros, true),
       {"family: qualcomm-atheros", "x ostrelctl: the adapter's device record cannot be read"},
       R"({"family": "qualcomm-atheros", "error": "the adapter's device record cannot be read", )"
       R"("error_code": "record_unread"})"},
      {already, {"power-save: already on; nothing written"}, R"({"written": false, "power_save": "on"})"},
      {Wrote(false, O::Verified), {"Disable device power save success!", "verified: off"},
       R"({"written": true, "verified": true, "power_save": "off"})"},
      // A write that failed says only its failure, in the failure table; a
      // read-back that failed names the state it found first.
      {Wrote(false, O::ReadBackDiffers), {}, R"({"power_save": "on", "written": true, "verified": false})"},
      {Wrote(false, O::ReadBackUnreadable), {}, R"({"power_save": "on", "written": true, "verified": false})"},
      {Wrote(false, O::ResetFailed), {}, R"({"written": true, "reset": false})"},
      {Wrote(false, O::Refused), {}, R"({"written": false})"},
      {Wrote(true, O::Verified), {"restored: a.pib (16 bytes written)", "verified: 16 bytes"},
       R"({"restored": "a.pib", "bytes": 16, "verified": true})"},
      {Wrote(true, O::ResetFailed), {}, R"({"written": true, "reset": false})"},
      {Wrote(true, O::Refused), {}, "{}"},
      {Wrote(true, O::ReadBackDiffers), {}, R"({"restored": "a.pib", "written": true, "verified": false})"},
      // Undo names its record before a refusal, after a write it tried.
      {Undone(false, 1, UndoPassReason::NotWritten),
       {"passed over: T ostrelctl on (r1): it wrote nothing; the adapter holds what it started from",
        "x ostrelctl: cannot undo T0 Ostrel.exe off: gone; nothing written"},
       R"({"passed_over": ["r1"], "record": null, "error": "cannot undo T0 Ostrel.exe off: gone; nothing )"
       R"(written", "error_code": "undo_copy_unread"})"},
      {Undone(true, 1, UndoPassReason::ChangedNothing),
       {"passed over: T ostrelctl on (r1): it changed nothing", "restored: a.pib (16 bytes written)",
        "x ostrelctl: a.pib: no; nothing written"},
       R"({"passed_over": ["r1"], "restored": "a.pib", "bytes": 16, "error": "a.pib: no; nothing written", )"
       R"("error_code": "restore_refused", "record": null})"},
      {Undone(true, 0, UndoPassReason::ChangedNothing),
       {"passed over: T ostrelctl on (r1): it changed nothing", "restored: a.pib (16 bytes written)"},
       R"({"passed_over": ["r1"], "restored": "a.pib", "bytes": 16, "undoes": null})"},
      // Warnings come where they were found: a write's after the copy saved
      // before it, most telling first, a moved folder last.
      {Warned(),
       {"! ostrelctl: warning: a write by ostrelctl at T was cut short", "saved: b.pib (8 bytes)",
        "layout: 7420", "address: 00:b0:52:00:00:01",
        "! ostrelctl: warning: no automatic copy was saved before the write: full",
        "! ostrelctl: warning: the write is not in the history: denied",
        "! ostrelctl: warning: the history was moved aside to h-1.txt: damaged",
        "Disable device power save success!",
        "! ostrelctl: warning: the copies and the history were moved from C:\\old, where this program kept "
        "them before, to the folder LOCALAPPDATA names"},
       R"({"saved": "b.pib", "bytes": 8, "layout": "7420", "address": "00:b0:52:00:00:01", "written": true})"},
      {Cut(HistoryProgram::Dialog, "00:b0:52:00:00:01"),
       {"! ostrelctl: warning: a write by Ostrel.exe at T to the adapter 00:b0:52:00:00:01 was cut short; this "
        "adapter could not be identified as that one"}, "{}"},
      {Cut(HistoryProgram::Ctl, ""),
       {"! ostrelctl: warning: a write by ostrelctl at T to a Broadcom adapter was cut short; this adapter "
        "could not be identified as that one"}, "{}"},
      {Listed(false, "Ostrel 9"),
       {"! ostrelctl: warning: h.txt: not a history this program can read (Ostrel 9); the next write moves it "
        "aside", "! ostrelctl: warning: h.txt: line 2 is not a history record; skipped",
        "! ostrelctl: warning: h.txt: line 5 is not a history record; skipped"}, R"({"history": []})"},
      {Listed(false),
       {"T  Ostrel.exe  on  unavailable -> unavailable  started", "  qualcomm-atheros", "  copy: none"},
       R"({"history": [{"time": "T", "program": "Ostrel.exe", "action": "on", "family": "qualcomm-atheros", )"
       R"("address": null, "firmware": null, "before": "unavailable", "after": "unavailable", "result": )"
       R"("started", "copy": null, "id": null, "before_sha256": null, "after_sha256": null, "undoes": null, )"
       R"("length": null, "sent_sha256": null}]})"},
      {Listed(true),
       {"T  ostrelctl  undo  off -> on  done", "  qualcomm-atheros  00:b0:52:00:00:01  FW", "  copy: c.pib",
        "  id: r2  sha256: aaaaaaaaaaaa -> bbbbbbbbbbbb", "  undoes: r1"},
       R"({"history": [{"time": "T", "program": "ostrelctl", "action": "undo", "family": "qualcomm-atheros", )"
       R"("address": "00:b0:52:00:00:01", "firmware": "FW", "before": "off", "after": "on", "result": "done", )"
       R"("copy": "c.pib", "id": "r2", "before_sha256": "aaaaaaaaaaaaaa", "after_sha256": "bbbbbbbbbbbbbb", )"
       R"("undoes": "r1", "length": null, "sent_sha256": null}]})"},
      {usage, {"x ostrelctl: what?", "? usage: ostrelctl\n"}, R"({"error": "what?", "error_code": "usage"})"},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(Said(c.result), c.said) << c.json;
    EXPECT_EQ(CtlJson(c.result), c.json + "\n");
  }
}

// Each row: a failure's facts, its exit status, its code in JSON and how it
// is said, with the undo record "T ostrelctl undo (r2)", the strategy
// "pib-field", and a write that found power save on where off was asked, or
// wrote 16 bytes of a.pib.
TEST(CtlRender, EachFailureHasItsStatusCodeAndWords) {
  constexpr CtlLeft W = CtlLeft::NothingWritten;
  constexpr CtlLeft N = CtlLeft::Unsaid;
  constexpr bool R = true; // a restore, else a switch
  const std::string forceOnlyHere =
      "; undo --force writes a change's copy only onto the adapter it was "
      "taken from; restore FILE --force writes a copy you choose";
  // clang-format off
  const struct {
    CtlError failure; ReadBackFault readBack; bool restore; int status; const char* code; std::string said;
  } cases[] = {
      {Err(F::Usage, "'--x': not an option"), {}, !R, 2, "usage", "'--x': not an option"},
      {{F::File, "cannot open", "h.txt", N}, {}, !R, 2, "file", "h.txt: cannot open"},
      {{F::File, "a.pib: too large", "", W}, {}, !R, 2, "file", "a.pib: too large; nothing written"},
      {Err(F::LibraryNotLoaded, "no library"), {}, !R, 2, "library_not_loaded", "no library"},
      {Err(F::NoAdapter), {}, !R, 3, "no_adapter", "no adapter found"},
      {Err(F::InUse, "held by Ostrel.exe"), {}, !R, 4, "in_use", "held by Ostrel.exe"},
      {Err(F::Stopped), {}, !R, 5, "stopped", "stopped before anything was written"},
      {{F::RecordUnread, "", "", CtlLeft::NothingSaved}, {}, !R, 1, "record_unread",
       "the adapter's device record cannot be read; nothing saved"},
      {Err(F::NoStrategy), {}, !R, 1, "no_strategy", "no strategy serves this adapter's firmware"},
      {Err(F::StateUnreadable), {}, !R, 1, "state_unreadable",
       "the pib-field strategy cannot read the adapter's power-save state"},
      {Err(F::CopyRefused, "cannot take a copy: busy"), {}, !R, 1, "copy_refused", "cannot take a copy: busy"},
      {{F::BackupExists, "", "b.pib", CtlLeft::NothingSaved}, {}, !R, 2, "backup_exists",
       "b.pib: already exists; --replace replaces it; nothing saved"},
      {{F::BackupUnsaved, "full", "b", N}, {}, !R, 2, "backup_unsaved", "b: cannot save the copy: full"},
      {Err(F::BackupRefused, "a.pib: no backup"), {}, R, 1, "backup_refused", "a.pib: no backup"},
      {Err(F::SwitchRefused), {}, !R, 1, "switch_refused", "Disable device power save fail!"},
      {{F::RestoreRefused, "not its", "a.pib", N}, {}, R, 1, "restore_refused", "a.pib: not its"},
      {{F::UndoForceRefused, "not its", "a.pib", N}, {}, R, 1, "undo_force_refused",
       "a.pib: not its" + forceOnlyHere},
      {Err(F::ResetFailed), {}, !R, 1, "reset_failed",
       "power save off was written, but the reset after it failed; the adapter takes it at its next restart"},
      {Err(F::ResetFailed), {}, R, 1, "reset_failed",
       "a.pib was written, but the reset after it failed; the adapter takes it at its next restart"},
      {Err(F::ReadBackUnreadable), {K::StateUnreadable, 0, 0, 0, 0, ""}, !R, 1, "read_back_unreadable",
       "verify: the power-save state cannot be read back"},
      {Err(F::ReadBackDiffers), {K::StateDiffers, 0, 0, 0, 0, ""}, !R, 1, "read_back_differs",
       "verify: the write was sent, and the adapter still reads on"},
      {Err(F::ReadBackUnreadable), {K::CopyUnreadable, 0, 0, 0, 0, ""}, R, 1, "read_back_unreadable",
       "verify: the adapter's copy cannot be read back"},
      {Err(F::ReadBackUnreadable), {K::CopyUnreadable, 0, 0, 0, 0, "busy"}, R, 1, "read_back_unreadable",
       "verify: the adapter's copy cannot be read back: busy"},
      {Err(F::ReadBackDiffers), {K::CopyDiffers, 7, 0x0a, 0xf0, 16, ""}, R, 1, "read_back_differs",
       "verify: the adapter's copy differs at byte 7: 0x0a written, 0xf0 read"},
      {Err(F::ReadBackDiffers), {K::CopyShort, 0, 0, 0, 12, ""}, R, 1, "read_back_differs",
       "verify: the adapter's copy is 12 bytes, 16 written"},
      {Err(F::UndoUnread, "h.txt: denied"), {}, !R, 1, "undo_unread", "h.txt: denied"},
      {Err(F::UndoNothingLeft), {}, !R, 1, "undo_nothing_left", "no change of this adapter is left to undo"},
      {Err(F::UndoUnproven), {}, !R, 1, "undo_unproven",
       "the adapter's image does not open, and no recorded write left what it holds; restore FILE writes a "
       "copy you choose"},
      {Err(F::UndoChanged), {}, !R, 1, "undo_changed",
       "the adapter no longer holds what the write of T ostrelctl undo (r2) left: another program, another "
       "user or another adapter changed it since, or the write failed part-way; --force restores that "
       "write's copy"},
      {Err(F::UndoUnchecked), {}, !R, 1, "undo_unchecked",
       "the last change (T ostrelctl undo (r2)) was recorded without digests, so undo cannot check it; "
       "--force restores its copy"},
      {Err(F::UndoNotThisAdapter), {}, !R, 1, "undo_not_this_adapter",
       "the adapter's image does not open, so nothing shows that it is the adapter of T ostrelctl undo (r2)" +
           forceOnlyHere},
      {Err(F::UndoCopyUnread, "no"), {}, !R, 1, "undo_copy_unread", "cannot undo T ostrelctl undo (r2): no"},
  };
  // clang-format on
  for (const auto& c : cases) {
    CtlResult result = Wrote(c.restore, O::Refused);
    result.failure = c.failure;
    result.status = CtlExitStatus(c.failure.code);
    result.found = CtlFound{AdapterFamily::Broadcom, false, "", "pib-field", PowerSaveState::On};
    result.undoRecord = CtlRecord{"r2", "T", HistoryProgram::Ctl, HistoryAction::Undo};
    result.undoTried = true;
    result.write->readBackFault = c.readBack;
    // The adapter's refusal of a switch is said as the line it is.
    const bool ownLine = c.failure.code == F::SwitchRefused;
    EXPECT_EQ(Said(result).back(), (ownLine ? "x " : "x ostrelctl: ") + c.said);
    EXPECT_NE(CtlJson(result).find(JsonText(c.said).text + ", \"error_code\": \"" + c.code + "\""),
              std::string::npos)
        << CtlJson(result);
    EXPECT_EQ(result.status, c.status) << c.code;
  }
}

} // namespace
