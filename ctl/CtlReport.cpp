#include "ctl/CtlReport.h"

#include "console/ConsoleMain.h"
#include "console/ConsoleText.h"
#include "ctl/CtlCommands.h"
#include "files/Utf8.h"

#include <cstdio>

// JSON in ASCII alone, every other character as a \u escape (a surrogate pair
// past U+FFFF): Windows PowerShell 5.1 reads a program's output in the
// console's code page, and ASCII reads the same in every one. A firmware text
// may hold any byte; one that is not UTF-8 is written as the code point of the
// same value, so the result is always valid JSON.
JsonValue JsonText(std::string_view text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    uint32_t code = static_cast<unsigned char>(text[at]);
    const std::size_t length = Utf8Sequence(text, at, code);
    at += length != 0 ? length : 1;
    if (code == '"' || code == '\\') {
      out += '\\';
      out += static_cast<char>(code);
      continue;
    }
    if (code >= 0x20 && code < 0x7F) {
      out += static_cast<char>(code);
      continue;
    }
    char escape[16];
    if (code > 0xFFFF) {
      code -= 0x10000;
      std::snprintf(escape, sizeof escape, "\\u%04x\\u%04x", 0xD800 + (code >> 10),
                    0xDC00 + (code & 0x3FF));
    } else {
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(code));
    }
    out += escape;
  }
  return {out + "\""};
}

JsonValue JsonBool(bool value) {
  return {value ? "true" : "false"};
}

JsonValue JsonNumber(uint64_t value) {
  return {std::to_string(value)};
}

JsonValue JsonNull() {
  return {"null"};
}

CtlRecord CtlRecordOf(const HistoryRecord& record) {
  return {record.id, record.time, record.program, record.action};
}

namespace {

std::string Warning(const std::string& line) {
  return std::string(kConsoleProgram) + ": warning: " + line;
}

bool ReadBackFailed(WriteOutcome outcome) {
  return ReadBackMade(outcome) && outcome != WriteOutcome::Verified;
}

// A record as a person finds it in the history listing.
std::string RecordName(const CtlRecord& record) {
  return record.time + " " + NameOf(record.program) + " " + NameOf(record.action) +
         (record.id.empty() ? "" : " (" + record.id + ")");
}

const char* PassedOverWhy(UndoPassReason why) {
  switch (why) {
  case UndoPassReason::ChangedNothing:
    return "it changed nothing";
  case UndoPassReason::NotWritten:
    return "it wrote nothing; the adapter holds what it started from";
  case UndoPassReason::NoCopy:
    return "it wrote over an image that did not open, so no copy of it was kept and it cannot "
           "be put back";
  case UndoPassReason::UndoTook:
    return "this undo was cut short after the adapter took it";
  }
  return "";
}

std::string CutShortLine(const UnfinishedWrite& cut) {
  std::string line = std::string("a write by ") + NameOf(cut.program) + " at " + cut.time;
  if (cut.identified)
    return line + " was cut short";
  return line + " to " +
         (cut.address.empty() ? std::string("a Broadcom adapter") : "the adapter " + cut.address) +
         " was cut short; this adapter could not be identified as that one";
}

std::string ReadBackLine(const SessionWrite& write) {
  const ReadBackFault& fault = write.readBackFault;
  char line[96] = {};
  switch (fault.kind) {
  case ReadBackFault::Kind::None:
    break;
  case ReadBackFault::Kind::StateUnreadable:
    return "verify: the power-save state cannot be read back";
  case ReadBackFault::Kind::StateDiffers:
    return std::string("verify: the write was sent, and the adapter still reads ") +
           PowerSaveStateName(write.stateAfter);
  case ReadBackFault::Kind::CopyUnreadable:
    return "verify: the adapter's copy cannot be read back" +
           (fault.refusal.empty() ? "" : ": " + fault.refusal);
  case ReadBackFault::Kind::CopyDiffers:
    std::snprintf(line, sizeof line,
                  "verify: the adapter's copy differs at byte %u: 0x%02x written, 0x%02x read",
                  static_cast<unsigned>(fault.offset), fault.written, fault.read);
    break;
  case ReadBackFault::Kind::CopyShort:
    std::snprintf(line, sizeof line, "verify: the adapter's copy is %u bytes, %u written",
                  static_cast<unsigned>(fault.size), static_cast<unsigned>(write.bytes));
    break;
  }
  return line;
}

// Why undo --force writes a copy only onto the adapter it was taken from.
constexpr char kForceOnlyHere[] =
    "; undo --force writes a change's copy only onto the adapter it was taken from; restore FILE "
    "--force writes a copy you choose";

// Why the run failed, and what it then did not do.
std::string FailureText(const CtlResult& result) {
  const CtlError& failure = *result.failure;
  const std::string& text = failure.text;
  const std::string record = result.undoRecord ? RecordName(*result.undoRecord) : "";
  std::string why;
  switch (failure.code) {
  case CtlFailure::Usage:
  case CtlFailure::LibraryNotLoaded:
  case CtlFailure::InUse:
  case CtlFailure::CopyRefused:
  case CtlFailure::BackupRefused:
  case CtlFailure::UndoUnread:
    why = text;
    break;
  case CtlFailure::File:
    why = (failure.path.empty() ? "" : failure.path + ": ") + text;
    break;
  case CtlFailure::NoAdapter:
    why = "no adapter found";
    break;
  case CtlFailure::Stopped:
    why = kCtlStoppedUnwritten;
    break;
  case CtlFailure::RecordUnread:
    why = "the adapter's device record cannot be read";
    break;
  case CtlFailure::NoStrategy:
    why = "no strategy serves this adapter's firmware";
    break;
  case CtlFailure::StateUnreadable:
    why = "the " + (result.found ? result.found->strategy : std::string()) +
          " strategy cannot read the adapter's power-save state";
    break;
  case CtlFailure::BackupExists:
    why = failure.path + ": already exists; --replace replaces it";
    break;
  case CtlFailure::BackupUnsaved:
    why = failure.path + ": cannot save the copy: " + text;
    break;
  case CtlFailure::SwitchRefused:
    why = PowerSaveResultLine(result.target.value_or(PowerSaveState::Off), false);
    break;
  case CtlFailure::RestoreRefused:
    why = failure.path + ": " + text;
    break;
  case CtlFailure::UndoForceRefused:
    why = failure.path + ": " + text + kForceOnlyHere;
    break;
  case CtlFailure::ResetFailed:
    why = (result.target ? std::string("power save ") + PowerSaveStateName(*result.target)
                         : result.restored) +
          " was written, but the reset after it failed; the adapter takes it at its next restart";
    break;
  case CtlFailure::ReadBackDiffers:
  case CtlFailure::ReadBackUnreadable:
    why = result.write ? ReadBackLine(*result.write) : "";
    break;
  case CtlFailure::UndoNothingLeft:
    why = "no change of this adapter is left to undo";
    break;
  case CtlFailure::UndoUnproven:
    why = "the adapter's image does not open, and no recorded write left what it holds; restore "
          "FILE writes a copy you choose";
    break;
  case CtlFailure::UndoChanged:
    why = "the adapter no longer holds what the write of " + record +
          " left: another program, another user or another adapter changed it since, or the "
          "write failed part-way; --force restores that write's copy";
    break;
  case CtlFailure::UndoUnchecked:
    why = "the last change (" + record +
          ") was recorded without digests, so undo cannot check it; --force restores its copy";
    break;
  case CtlFailure::UndoNotThisAdapter:
    why = "the adapter's image does not open, so nothing shows that it is the adapter of " +
          record + kForceOnlyHere;
    break;
  case CtlFailure::UndoCopyUnread:
    why = "cannot undo " + record + ": " + text;
    break;
  }
  switch (failure.left) {
  case CtlLeft::Unsaid:
    break;
  case CtlLeft::NothingWritten:
    why += "; nothing written";
    break;
  case CtlLeft::NothingSaved:
    why += "; nothing saved";
    break;
  }
  return why;
}

// A digest cut to its first 12 hex digits, so that a record fits a console.
std::string ShortDigest(const std::string& digest) {
  return digest.empty() ? "none" : digest.substr(0, 12);
}

// A few short lines a record, so that each fits a console's width.
void HistoryLines(const HistoryRecord& record, std::vector<CtlLine>& out) {
  out.push_back({CtlSay::Line, record.time + "  " + NameOf(record.program) + "  " +
                                   NameOf(record.action) + "  " + NameOf(record.before) + " -> " +
                                   NameOf(record.after) + "  " + NameOf(record.result)});
  std::string adapter = std::string("  ") + NameOf(record.family);
  for (const std::string* part : {&record.address, &record.firmware})
    adapter += part->empty() ? "" : "  " + *part;
  out.push_back({CtlSay::Line, adapter});
  out.push_back(
      {CtlSay::Line, "  copy: " + (record.copy.empty() ? std::string("none") : record.copy)});
  if (HistoryHasIds(record.format))
    out.push_back({CtlSay::Line, "  id: " + record.id +
                                     "  sha256: " + ShortDigest(record.beforeSha256) + " -> " +
                                     ShortDigest(record.afterSha256)});
  if (!record.undoes.empty())
    out.push_back({CtlSay::Line, "  undoes: " + record.undoes});
}

std::string HistoryJson(const std::vector<HistoryRecord>& records) {
  std::string list;
  for (const HistoryRecord& record : records) {
    std::string object;
    for (const HistoryField& field : kHistoryFields) {
      const std::string value = field.text(record);
      const bool none = value.empty() && !field.named;
      object += std::string(object.empty() ? "{" : ", ") + JsonText(field.name).text + ": " +
                (none ? JsonNull() : JsonText(value)).text;
    }
    list += (list.empty() ? "" : ", ") + object + "}";
  }
  return "[" + list + "]";
}

// The JSON object's members in the order they are added.
class Members {
public:
  void Add(const char* key, const JsonValue& value) {
    m_text += (m_text.empty() ? "{" : ", ") + JsonText(key).text + ": " + value.text;
  }
  void Text(const char* key, const std::string& value) { Add(key, JsonText(value)); }
  void Bool(const char* key, bool value) { Add(key, JsonBool(value)); }
  std::string End() const { return (m_text.empty() ? "{" : m_text) + "}\n"; }

private:
  std::string m_text;
};

JsonValue RecordId(const CtlRecord& record) {
  return record.id.empty() ? JsonNull() : JsonText(record.id);
}

// A switch's members; a read-back that failed names the state it found first.
void SwitchJson(const CtlResult& result, Members& json) {
  if (result.already) {
    json.Bool("written", false);
    json.Text("power_save", PowerSaveStateName(*result.target));
  }
  if (!result.write)
    return;
  const SessionWrite& write = *result.write;
  if (ReadBackFailed(write.outcome))
    json.Text("power_save", PowerSaveStateName(write.stateAfter));
  json.Bool("written", WriteAccepted(write.outcome));
  if (write.outcome == WriteOutcome::ResetFailed)
    json.Bool("reset", false);
  if (ReadBackFailed(write.outcome))
    json.Bool("verified", false);
  if (write.outcome == WriteOutcome::Verified) {
    json.Bool("verified", true);
    json.Text("power_save", PowerSaveStateName(*result.target));
  }
}

void RestoreJson(const CtlResult& result, Members& json) {
  if (!result.write)
    return;
  const WriteOutcome outcome = result.write->outcome;
  if (ReadBackFailed(outcome) || WriteTook(outcome))
    json.Text("restored", result.restored);
  if (WriteTook(outcome))
    json.Add("bytes", JsonNumber(result.write->bytes));
  if (outcome == WriteOutcome::ResetFailed || ReadBackFailed(outcome)) {
    json.Bool("written", true);
    if (outcome == WriteOutcome::ResetFailed)
      json.Bool("reset", false);
  }
  if (ReadBackFailed(outcome) || outcome == WriteOutcome::Verified)
    json.Bool("verified", outcome == WriteOutcome::Verified);
}

} // namespace

std::vector<CtlLine> CtlText(const CtlResult& result) {
  std::vector<CtlLine> out;
  if (result.cutShort)
    out.push_back({CtlSay::Warning, Warning(CutShortLine(*result.cutShort))});
  if (const auto& history = result.history) {
    if (!history->foreign.empty())
      out.push_back(
          {CtlSay::Warning, Warning(history->path + ": not a history this program can read (" +
                                    history->foreign + "); the next write moves it aside")});
    for (const std::size_t line : history->skipped)
      out.push_back({CtlSay::Warning, Warning(history->path + ": line " + std::to_string(line) +
                                              " is not a history record; skipped")});
  }
  if (const auto& found = result.found) {
    out.push_back({CtlSay::Line, std::string("family: ") + NameOf(found->family)});
    if (!found->recordUnread) {
      if (found->family == AdapterFamily::QualcommAtheros)
        out.push_back({CtlSay::Line, "firmware: " + found->firmware});
      out.push_back({CtlSay::Line, "strategy: " + found->strategy});
      out.push_back(
          {CtlSay::Line, std::string("power-save: ") + PowerSaveStateName(found->powerSave)});
    }
  }
  if (const auto& saved = result.saved) {
    out.push_back(
        {CtlSay::Line, "saved: " + saved->path + " (" + std::to_string(saved->bytes) + " bytes)"});
    if (saved->image) {
      out.push_back({CtlSay::Line, "layout: " + saved->layout});
      out.push_back({CtlSay::Line, "address: " + saved->address});
    }
  }
  if (result.passedOver) {
    for (const CtlPassed& passed : *result.passedOver)
      out.push_back({CtlSay::Line, "passed over: " + RecordName(passed.record) + ": " +
                                       PassedOverWhy(passed.why)});
  }
  if (result.write) {
    const WriteUnkept unkept = UnkeptOf(*result.write);
    if (!unkept.noCopy.empty())
      out.push_back({CtlSay::Warning,
                     Warning("no automatic copy was saved before the write: " + unkept.noCopy)});
    if (!unkept.noRecord.empty())
      out.push_back(
          {CtlSay::Warning, Warning("the write is not in the history: " + unkept.noRecord)});
    if (!unkept.movedTo.empty())
      out.push_back({CtlSay::Warning, Warning("the history was moved aside to " + unkept.movedTo +
                                              ": " + unkept.movedWhy)});
  }
  const char* target = result.target ? PowerSaveStateName(*result.target) : "";
  if (result.already)
    out.push_back(
        {CtlSay::Line, std::string("power-save: already ") + target + "; nothing written"});
  if (result.write && WriteTook(result.write->outcome)) {
    const bool verified = result.write->outcome == WriteOutcome::Verified;
    const std::string bytes = std::to_string(result.write->bytes);
    if (result.target) {
      out.push_back({CtlSay::Line, PowerSaveResultLine(*result.target, true)});
      if (verified)
        out.push_back({CtlSay::Line, std::string("verified: ") + target});
    } else {
      out.push_back(
          {CtlSay::Line, "restored: " + result.restored + " (" + bytes + " bytes written)"});
      if (verified)
        out.push_back({CtlSay::Line, "verified: " + bytes + " bytes"});
    }
  }
  if (result.history) {
    for (const HistoryRecord& record : result.history->records)
      HistoryLines(record, out);
  }
  // The adapter's refusal of a switch is said as the dialog says it.
  if (result.failure)
    out.push_back(
        {CtlSay::Failure, result.failure->code == CtlFailure::SwitchRefused
                              ? FailureText(result)
                              : std::string(kConsoleProgram) + ": " + FailureText(result)});
  if (!result.usage.empty())
    out.push_back({CtlSay::Usage, result.usage});
  if (!result.movedFrom.empty())
    out.push_back(
        {CtlSay::Warning, Warning("the copies and the history were moved from " + result.movedFrom +
                                  ", where this program kept them before, to the folder "
                                  "LOCALAPPDATA names")});
  return out;
}

std::string CtlJson(const CtlResult& result) {
  Members json;
  if (const auto& found = result.found) {
    json.Text("family", NameOf(found->family));
    if (!found->recordUnread) {
      json.Add("firmware", found->family == AdapterFamily::QualcommAtheros
                               ? JsonText(found->firmware)
                               : JsonNull());
      json.Text("strategy", found->strategy);
      json.Text("power_save", PowerSaveStateName(found->powerSave));
    }
  }
  if (const auto& saved = result.saved) {
    json.Text("saved", saved->path);
    json.Add("bytes", JsonNumber(saved->bytes));
    if (saved->image) {
      json.Text("layout", saved->layout);
      json.Text("address", saved->address);
    }
  }
  if (result.passedOver) {
    std::string ids;
    for (const CtlPassed& passed : *result.passedOver)
      ids += (ids.empty() ? "" : ", ") + JsonText(passed.record.id).text;
    json.Add("passed_over", {"[" + ids + "]"});
  }
  if (result.undoRecord && !result.undoTried)
    json.Add("record", RecordId(*result.undoRecord));
  if (result.target)
    SwitchJson(result, json);
  else
    RestoreJson(result, json);
  if (result.history)
    json.Add("history", {HistoryJson(result.history->records)});
  if (result.failure) {
    json.Text("error", FailureText(result));
    json.Text("error_code", NameOf(result.failure->code));
  }
  if (result.undoRecord && result.undoTried)
    json.Add(result.status == 0 ? "undoes" : "record", RecordId(*result.undoRecord));
  return json.End();
}

// Standard output is flushed before a line on standard error, and that line
// at once, so that where both streams meet, in one file or pipe, the lines
// come in the order they were issued: standard error may be buffered too.
void CtlPrint(const CtlResult& result) {
  for (const CtlLine& line : CtlText(result)) {
    if (result.json && (line.say == CtlSay::Line || line.say == CtlSay::Failure))
      continue;
    if (line.say == CtlSay::Line) {
      ConsoleWriteLine(stdout, line.text);
      continue;
    }
    std::fflush(stdout);
    if (line.say == CtlSay::Usage)
      ConsoleWrite(stderr, line.text);
    else
      ConsoleWriteLine(stderr, line.text);
    std::fflush(stderr);
  }
  if (result.json)
    ConsoleWrite(stdout, CtlJson(result));
}
