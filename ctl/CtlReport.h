#pragma once
// What one ostrelctl run says: lines for a person, or, with --json, one JSON
// object on standard output and nothing else there, for fleet tools.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A JSON value, already written out.
struct JsonValue {
  std::string text;
};
JsonValue JsonText(std::string_view text);
JsonValue JsonBool(bool value);
JsonValue JsonNumber(uint64_t value);
JsonValue JsonNull();

class CtlReport {
public:
  explicit CtlReport(bool json) : m_json(json) {}
  CtlReport(const CtlReport&) = delete;
  CtlReport& operator=(const CtlReport&) = delete;

  bool Json() const { return m_json; }
  // A line on standard output for a person; nothing in JSON.
  void Line(const std::string& line);
  // A member of the JSON object; nothing for a person.
  void Member(const char* key, JsonValue value);
  // Both at once: the line for a person, the member for JSON.
  void Say(const std::string& line, const char* key, JsonValue value);
  // A failure: "ostrelctl: what" on standard error for a person, the member
  // "error" in JSON. Returns `status`.
  int Fail(int status, const std::string& what);
  // A line on standard error for a person, such as the dialog's own failure
  // line; in JSON the "error" member.
  int FailLine(int status, const std::string& line);
  // "ostrelctl: warning: what" on standard error, also with --json: the run
  // goes on.
  void Warn(const std::string& what);
  // Writes the JSON object, once, when the run is over.
  void Finish();

private:
  int Error(int status, const std::string& line, const std::string& message);

  bool m_json;
  bool m_finished = false;
  std::vector<std::pair<std::string, std::string>> m_members;
};
