#include "ctl/CtlReport.h"

#include "console/ConsoleText.h"
#include "files/WideText.h"

#include <cstdio>

#include <windows.h>

namespace {

// Length of the well-formed UTF-8 sequence at `at`, or 0 when the bytes there
// are not one.
std::size_t Utf8Sequence(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  std::size_t length = lead < 0x80                    ? 1
                       : lead >= 0xC2 && lead <= 0xDF ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
  if (length == 0 || text.size() - at < length)
    return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80)
      return 0;
  }
  // Overlong forms, surrogates and code points past U+10FFFF.
  if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F) ||
      (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) > 0x8F))
    return 0;
  return length;
}

} // namespace

// A firmware text may hold any byte: well-formed UTF-8 passes, control
// characters are escaped, and any other byte is written as the code point of
// the same value, so the result is always valid JSON.
JsonValue JsonText(std::string_view text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    const std::size_t length = Utf8Sequence(text, at);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && length > 0) {
      out.append(text.substr(at, length));
      at += length;
      continue;
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    }
    ++at;
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
    ConsoleWrite(stdout, line + "\n");
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

int CtlReport::FailLine(int status, const std::string& line) {
  return Error(status, line, line);
}

int CtlReport::Error(int status, const std::string& line, const std::string& message) {
  if (m_json) {
    Member("error", JsonText(message));
    return status;
  }
  std::fflush(stdout); // keeps the lines in order where both streams meet
  ConsoleWrite(stderr, line + "\n");
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

std::string AnsiToUtf8(std::string_view text) {
  // Each byte of the code page gives at most one UTF-16 unit.
  const int size = static_cast<int>(text.size());
  std::wstring wide(text.size(), L'\0');
  wide.resize(static_cast<std::size_t>(
      ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), size)));
  return Utf8FromWide(wide);
}
