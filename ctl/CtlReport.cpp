#include "ctl/CtlReport.h"

#include "console/ConsoleText.h"
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

namespace {

constexpr char kWarning[] = "ostrelctl: warning: ";

bool ReadBackFailed(WriteOutcome outcome) {
  return outcome == WriteOutcome::ReadBackDiffers || outcome == WriteOutcome::ReadBackUnreadable;
}

bool Took(WriteOutcome outcome) {
  return outcome == WriteOutcome::Written || outcome == WriteOutcome::Verified;
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

JsonValue RecordId(const std::string& id) {
  return id.empty() ? JsonNull() : JsonText(id);
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
  json.Bool("written", write.outcome != WriteOutcome::Refused &&
                           write.outcome != WriteOutcome::AdapterRefused);
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
  if (ReadBackFailed(outcome) || Took(outcome))
    json.Text("restored", result.restored);
  if (Took(outcome))
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
  for (const std::string& warning : result.warnings)
    out.push_back({CtlSay::Warning, kWarning + warning});
  if (const auto& found = result.found) {
    out.push_back({CtlSay::Line, "family: " + found->family});
    if (!found->recordUnread) {
      if (found->qca)
        out.push_back({CtlSay::Line, "firmware: " + found->firmware});
      out.push_back({CtlSay::Line, "strategy: " + found->strategy});
      out.push_back({CtlSay::Line, "power-save: " + found->powerSave});
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
      out.push_back({CtlSay::Line, "passed over: " + passed.name + ": " + passed.why});
  }
  for (const std::string& line : result.unkept)
    out.push_back({CtlSay::Warning, kWarning + line});
  const char* target = result.target ? PowerSaveStateName(*result.target) : "";
  if (result.already)
    out.push_back(
        {CtlSay::Line, std::string("power-save: already ") + target + "; nothing written"});
  if (result.write && Took(result.write->outcome)) {
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
    for (const HistoryRecord& record : *result.history)
      HistoryLines(record, out);
  }
  if (!result.error.empty())
    out.push_back(
        {CtlSay::Failure, result.errorLine ? result.error : "ostrelctl: " + result.error});
  if (!result.usage.empty())
    out.push_back({CtlSay::Usage, result.usage});
  if (!result.movedFrom.empty())
    out.push_back({CtlSay::Warning, kWarning +
                                        std::string("the copies and the history were moved from ") +
                                        result.movedFrom +
                                        ", where this program kept them before, to the folder "
                                        "LOCALAPPDATA names"});
  return out;
}

std::string CtlJson(const CtlResult& result) {
  Members json;
  if (const auto& found = result.found) {
    json.Text("family", found->family);
    if (!found->recordUnread) {
      json.Add("firmware", found->qca ? JsonText(found->firmware) : JsonNull());
      json.Text("strategy", found->strategy);
      json.Text("power_save", found->powerSave);
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
      ids += (ids.empty() ? "" : ", ") + JsonText(passed.id).text;
    json.Add("passed_over", {"[" + ids + "]"});
  }
  if (result.undoRecord && !result.undoTried)
    json.Add("record", RecordId(*result.undoRecord));
  if (result.target)
    SwitchJson(result, json);
  else
    RestoreJson(result, json);
  if (result.history)
    json.Add("history", {HistoryJson(*result.history)});
  if (!result.error.empty())
    json.Text("error", result.error);
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
