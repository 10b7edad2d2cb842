#include "session/History.h"

#include "files/ReadFile.h"
#include "files/WriteFile.h"

#include <cstdint>
#include <cstdio>
#include <utility>

namespace {

// The first field of every line: a line without it is not ours.
constexpr char kTag[] = "ostrel-history-1";
// Far more than kHistoryKept records take.
constexpr std::size_t kMaxFileSize = 16u << 20;

const char* const kPrograms[] = {"Ostrel.exe", "ostrelctl", nullptr};
const char* const kActions[] = {"on", "off", "restore", "undo", nullptr};
const char* const kFamilies[] = {"qualcomm-atheros", "broadcom", nullptr};
const char* const kStates[] = {"on", "off", "unavailable", nullptr};
const char* const kResults[] = {"done", "failed", "unverified", nullptr};

// Tabs separate the fields and a line end ends the record, so control
// characters and the backslash are written as escapes.
void Escape(const std::string& text, std::string& line) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || c == '\\') {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      line += escape;
    } else {
      line += c;
    }
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

bool Unescape(std::string_view field, std::string& text) {
  text.clear();
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      text += field[i];
      continue;
    }
    if (i + 3 >= field.size())
      return false;
    const int high = HexDigit(field[i + 2]);
    const int low = HexDigit(field[i + 3]);
    if (field[i + 1] != 'x' || high < 0 || low < 0)
      return false;
    text += static_cast<char>(high * 16 + low);
    i += 3;
  }
  return true;
}

bool Allowed(const std::string& value, const char* const* allowed) {
  if (allowed == nullptr)
    return true;
  for (; *allowed != nullptr; ++allowed) {
    if (value == *allowed)
      return true;
  }
  return false;
}

// "YYYY-MM-DDTHH:MM:SSZ"
bool IsTime(const std::string& time) {
  static constexpr char kShape[] = "dddd-dd-ddTdd:dd:ddZ";
  if (time.size() != sizeof kShape - 1)
    return false;
  for (std::size_t i = 0; i < time.size(); ++i) {
    const bool digit = time[i] >= '0' && time[i] <= '9';
    if (kShape[i] == 'd' ? !digit : time[i] != kShape[i])
      return false;
  }
  return true;
}

} // namespace

const HistoryField kHistoryFields[10] = {
    {"time", &HistoryRecord::time, nullptr},
    {"program", &HistoryRecord::program, kPrograms},
    {"action", &HistoryRecord::action, kActions},
    {"family", &HistoryRecord::family, kFamilies},
    {"address", &HistoryRecord::address, nullptr},
    {"firmware", &HistoryRecord::firmware, nullptr},
    {"before", &HistoryRecord::before, kStates},
    {"after", &HistoryRecord::after, kStates},
    {"result", &HistoryRecord::result, kResults},
    {"copy", &HistoryRecord::copy, nullptr},
};

std::string HistoryLine(const HistoryRecord& record) {
  std::string line = kTag;
  for (const HistoryField& field : kHistoryFields) {
    line += '\t';
    Escape(record.*field.value, line);
  }
  return line;
}

bool HistoryParse(std::string_view line, HistoryRecord& record) {
  HistoryRecord read;
  std::size_t start = line.find('\t');
  if (line.substr(0, start) != kTag)
    return false;
  for (const HistoryField& field : kHistoryFields) {
    if (start == std::string_view::npos)
      return false;
    const std::size_t end = line.find('\t', start + 1);
    const std::string_view text =
        line.substr(start + 1, end == std::string_view::npos ? end : end - start - 1);
    if (!Unescape(text, read.*field.value) || !Allowed(read.*field.value, field.allowed))
      return false;
    start = end;
  }
  if (start != std::string_view::npos || !IsTime(read.time))
    return false;
  record = std::move(read);
  return true;
}

namespace {

// The file's lines without their line ends; a missing file has none.
bool ReadLines(const std::string& path, std::vector<std::string>& lines, std::string& error) {
  std::vector<uint8_t> bytes;
  bool missing = false;
  if (!ReadFileUpTo(path, kMaxFileSize, bytes, error, &missing))
    return missing;
  if (bytes.size() > kMaxFileSize) {
    error = "the file is too large: over " + std::to_string(kMaxFileSize) + " bytes";
    return false;
  }
  std::string line;
  for (const uint8_t byte : bytes) {
    if (byte != '\n') {
      line += static_cast<char>(byte);
      continue;
    }
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(std::move(line));
    line.clear();
  }
  if (!line.empty())
    lines.push_back(std::move(line));
  return true;
}

} // namespace

bool HistoryAppend(const std::string& path, const HistoryRecord& record, std::string& error) {
  std::vector<std::string> lines;
  if (!ReadLines(path, lines, error))
    return false;
  lines.push_back(HistoryLine(record));
  const std::size_t first = lines.size() > kHistoryKept ? lines.size() - kHistoryKept : 0;
  std::vector<uint8_t> bytes;
  for (std::size_t i = first; i < lines.size(); ++i) {
    bytes.insert(bytes.end(), lines[i].begin(), lines[i].end());
    bytes.insert(bytes.end(), {'\r', '\n'});
  }
  return WriteFileWhole(path, bytes, true, error) == WriteFileResult::Written;
}

bool HistoryRead(const std::string& path, std::vector<HistoryRecord>& records,
                 std::vector<std::size_t>& skipped, std::string& error) {
  std::vector<std::string> lines;
  if (!ReadLines(path, lines, error))
    return false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    HistoryRecord record;
    if (HistoryParse(lines[i], record))
      records.push_back(std::move(record));
    else
      skipped.push_back(i + 1);
  }
  return true;
}
