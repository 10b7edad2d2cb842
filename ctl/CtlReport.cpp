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

void CtlReport::Line(const std::string& line) {
  if (!m_json)
    ConsoleWriteLine(stdout, line);
}

void CtlReport::Member(const char* key, JsonValue value) {
  for (auto& member : m_members) {
    if (member.first == key) {
      member.second = value.text;
      return;
    }
  }
  m_members.emplace_back(key, value.text);
}

void CtlReport::Say(const std::string& line, const char* key, JsonValue value) {
  Line(line);
  Member(key, std::move(value));
}

int CtlReport::Fail(int status, const std::string& what) {
  return Error(status, "ostrelctl: " + what, what);
}

// Standard output is flushed before a line on standard error, and that line
// at once, so that where both streams meet, in one file or pipe, the lines
// come in the order they were issued: standard error may be buffered too.
void CtlReport::Warn(const std::string& what) {
  std::fflush(stdout);
  ConsoleWriteLine(stderr, "ostrelctl: warning: " + what);
  std::fflush(stderr);
}

int CtlReport::FailLine(int status, const std::string& line) {
  return Error(status, line, line);
}

int CtlReport::Error(int status, const std::string& line, const std::string& message) {
  if (m_json) {
    Member("error", JsonText(message));
    return status;
  }
  std::fflush(stdout);
  ConsoleWriteLine(stderr, line);
  std::fflush(stderr);
  return status;
}

void CtlReport::Finish() {
  if (!m_json || m_finished)
    return;
  m_finished = true;
  std::string object = "{";
  for (const auto& [key, value] : m_members) {
    if (object.size() > 1)
      object += ", ";
    object += JsonText(key).text + ": " + value;
  }
  ConsoleWrite(stdout, object + "}\n");
}
