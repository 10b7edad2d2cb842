#include "session/History.h"

#include "files/Folder.h"
#include "files/ReadFile.h"
#include "files/Utf8.h"
#include "files/WriteFile.h"

#include <cstdio>
#include <utility>

namespace {

// Each format's tag, the first field of its lines, and its fields: a line
// without one of these tags is not ours.
struct FormatLine {
  HistoryFormat format;
  const char* tag;
  std::size_t fields;
};
constexpr FormatLine kFormats[] = {
    {HistoryFormat::First, "ostrel-history-1", 10},
    {HistoryFormat::Second, "ostrel-history-2", 14},
    {HistoryFormat::Third, "ostrel-history-3", 16},
};

template <std::string HistoryRecord::*Member> std::string Text(const HistoryRecord& record) {
  return record.*Member;
}
template <std::string HistoryRecord::*Member>
bool SetText(HistoryRecord& record, std::string text) {
  record.*Member = std::move(text);
  return true;
}
template <typename Enum, Enum HistoryRecord::*Member>
std::string Name(const HistoryRecord& record) {
  return NameOf(record.*Member);
}
template <typename Enum, Enum HistoryRecord::*Member>
bool SetName(HistoryRecord& record, std::string text) {
  return ParseName(text, record.*Member);
}
#define OSTREL_TEXT_FIELD(name, member)                                                            \
  { name, Text<&HistoryRecord::member>, SetText<&HistoryRecord::member>, false }
#define OSTREL_NAMED_FIELD(name, member, Enum)                                                     \
  { name, Name<Enum, &HistoryRecord::member>, SetName<Enum, &HistoryRecord::member>, true }

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

unsigned Number(const std::string& text, std::size_t at, std::size_t count) {
  unsigned value = 0;
  for (std::size_t i = at; i < at + count; ++i)
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  return value;
}

// "YYYY-MM-DDTHH:MM:SSZ", a moment that a UTC clock can show.
bool IsTime(const std::string& time) {
  static constexpr char kShape[] = "dddd-dd-ddTdd:dd:ddZ";
  if (time.size() != sizeof kShape - 1)
    return false;
  for (std::size_t i = 0; i < time.size(); ++i) {
    const bool digit = time[i] >= '0' && time[i] <= '9';
    if (kShape[i] == 'd' ? !digit : time[i] != kShape[i])
      return false;
  }
  const unsigned day = Number(time, 8, 2);
  return day >= 1 && day <= DaysInMonth(Number(time, 0, 4), Number(time, 5, 2)) &&
         Number(time, 11, 2) < 24 && Number(time, 14, 2) < 60 && Number(time, 17, 2) < 60;
}

// A write's length: 1 to 7 digits, no leading zero.
bool IsLength(const std::string& length) {
  if (length.empty() || length.size() > 7 || length[0] == '0')
    return false;
  for (const char c : length) {
    if (c < '0' || c > '9')
      return false;
  }
  return true;
}

std::string LengthText(const HistoryRecord& record) {
  return record.length == 0 ? std::string() : std::to_string(record.length);
}
bool SetLength(HistoryRecord& record, std::string text) {
  if (!IsLength(text))
    return false;
  record.length = Number(text, 0, text.size());
  return true;
}

// A SHA-256 digest in lower-case hex, or none.
bool IsDigest(const std::string& digest) {
  if (digest.empty())
    return true;
  if (digest.size() != 64)
    return false;
  for (const char c : digest) {
    if (HexDigit(c) < 0)
      return false;
  }
  return true;
}

// Why `bytes` is not a history this program may rewrite; empty when it is.
std::string ForeignReason(const std::vector<uint8_t>& bytes) {
  if (bytes.size() > kHistoryMaxFileSize)
    return "it is over " + std::to_string(kHistoryMaxFileSize) + " bytes";
  // Checked first, as a text saved as UTF-16 is most often told by them.
  for (const uint8_t byte : bytes) {
    if (byte == 0)
      return "it holds NUL bytes";
  }
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  for (std::size_t at = 0; at < text.size();) {
    uint32_t codePoint = 0;
    const std::size_t length = Utf8Sequence(text, at, codePoint);
    if (length == 0)
      return "it is not UTF-8 text";
    at += length;
  }
  return {};
}

std::string Folder(const std::string& path) {
  const std::size_t end = path.rfind(kPathSeparator);
  return end == std::string::npos ? std::string() : path.substr(0, end);
}

// Moves a file that is not a history out of the way, under a name of its own.
bool MoveAside(const std::string& path, const ClockTime& now, std::string& movedTo,
               std::string& error) {
  const std::string folder = Folder(path);
  const std::string stem =
      (folder.empty() ? "" : folder + kPathSeparator) + "history-" + FileStamp(now);
  for (int n = 1; n <= 100; ++n) {
    movedTo = stem + (n == 1 ? "" : "-" + std::to_string(n)) + ".txt";
    switch (RenameFile(path, movedTo, error)) {
    case WriteFileResult::Written:
      return true;
    case WriteFileResult::Exists:
      break;
    case WriteFileResult::Failed:
      return false;
    }
  }
  error = "no free name beside it";
  return false;
}

} // namespace

const HistoryField kHistoryFields[16] = {
    OSTREL_TEXT_FIELD("time", time),
    OSTREL_NAMED_FIELD("program", program, HistoryProgram),
    OSTREL_NAMED_FIELD("action", action, HistoryAction),
    OSTREL_NAMED_FIELD("family", family, AdapterFamily),
    OSTREL_TEXT_FIELD("address", address),
    OSTREL_TEXT_FIELD("firmware", firmware),
    OSTREL_NAMED_FIELD("before", before, PowerSaveState),
    OSTREL_NAMED_FIELD("after", after, PowerSaveState),
    OSTREL_NAMED_FIELD("result", result, HistoryResult),
    OSTREL_TEXT_FIELD("copy", copy),
    OSTREL_TEXT_FIELD("id", id),
    OSTREL_TEXT_FIELD("before_sha256", beforeSha256),
    OSTREL_TEXT_FIELD("after_sha256", afterSha256),
    OSTREL_TEXT_FIELD("undoes", undoes),
    {"length", LengthText, SetLength, false},
    OSTREL_TEXT_FIELD("sent_sha256", sentSha256),
};
#undef OSTREL_TEXT_FIELD
#undef OSTREL_NAMED_FIELD

static_assert(std::size(kFormats) == 3 && kFormats[2].fields == std::size(kHistoryFields));

const char* HistoryTag(HistoryFormat format) {
  return kFormats[static_cast<std::size_t>(format) - 1].tag;
}

std::size_t HistoryFieldCount(HistoryFormat format) {
  return kFormats[static_cast<std::size_t>(format) - 1].fields;
}

std::string HistoryLine(const HistoryRecord& record) {
  std::string line = HistoryTag(HistoryFormat::Third);
  for (const HistoryField& field : kHistoryFields) {
    line += '\t';
    Escape(field.text(record), line);
  }
  return line;
}

bool HistoryParse(std::string_view line, HistoryRecord& record) {
  HistoryRecord read;
  std::size_t start = line.find('\t');
  const std::string_view tag = line.substr(0, start);
  const FormatLine* format = nullptr;
  for (const FormatLine& each : kFormats)
    format = tag == each.tag ? &each : format;
  if (format == nullptr)
    return false;
  read.format = format->format;
  const std::size_t fields = format->fields;
  for (std::size_t i = 0; i < fields; ++i) {
    const HistoryField& field = kHistoryFields[i];
    if (start == std::string_view::npos)
      return false;
    const std::size_t end = line.find('\t', start + 1);
    const std::string_view text =
        line.substr(start + 1, end == std::string_view::npos ? end : end - start - 1);
    std::string value;
    if (!Unescape(text, value) || !field.set(read, std::move(value)))
      return false;
    start = end;
  }
  if (start != std::string_view::npos || !IsTime(read.time))
    return false;
  if (!HistoryHasIds(read.format)
          ? read.result == HistoryResult::Started
          : read.id.empty() || !IsDigest(read.beforeSha256) || !IsDigest(read.afterSha256) ||
                (read.action != HistoryAction::Undo && !read.undoes.empty()))
    return false;
  if (HistoryHasLength(read.format) && !IsDigest(read.sentSha256))
    return false;
  record = std::move(read);
  return true;
}

void HistoryScan(std::vector<uint8_t> bytes, HistoryFile& file) {
  file = HistoryFile();
  file.foreign = ForeignReason(bytes);
  file.bytes = std::move(bytes);
  if (!file.foreign.empty())
    return;
  const std::vector<uint8_t>& all = file.bytes;
  std::size_t at = all.size() >= 3 && all[0] == 0xEF && all[1] == 0xBB && all[2] == 0xBF ? 3 : 0;
  while (at < all.size()) {
    HistoryFile::Line line = {at, at, at, -1};
    while (line.end < all.size() && all[line.end] != '\n' && all[line.end] != '\r')
      ++line.end;
    line.next = line.end;
    if (line.next < all.size() && all[line.next] == '\r')
      ++line.next;
    if (line.next < all.size() && all[line.next] == '\n')
      ++line.next;
    HistoryRecord record;
    const std::string_view text(reinterpret_cast<const char*>(all.data()) + line.begin,
                                line.end - line.begin);
    if (HistoryParse(text, record)) {
      line.record = static_cast<int>(file.records.size());
      file.records.push_back(std::move(record));
    }
    file.lines.push_back(line);
    at = line.next;
  }
}

bool HistoryLoad(const std::string& path, HistoryFile& file, std::string& error) {
  std::vector<uint8_t> bytes;
  bool missing = false;
  // A replace that could not put the old history back left it beside its
  // name; the next write puts it back in place.
  if (!ReadFileUpTo(path, kHistoryMaxFileSize, bytes, error, &missing) &&
      (!missing || !ReadFileUpTo(RestoreName(path), kHistoryMaxFileSize, bytes, error, &missing))) {
    file = HistoryFile();
    return missing;
  }
  HistoryScan(std::move(bytes), file);
  return true;
}

std::vector<std::size_t> HistorySkipped(const HistoryFile& file) {
  std::vector<std::size_t> skipped;
  for (std::size_t i = 0; i < file.lines.size(); ++i) {
    if (file.lines[i].record < 0)
      skipped.push_back(i + 1);
  }
  return skipped;
}

namespace {

void AppendLine(std::vector<uint8_t>& bytes, const std::string& text) {
  bytes.insert(bytes.end(), text.begin(), text.end());
  bytes.insert(bytes.end(), {'\r', '\n'});
}

// The file that follows one moved aside for its size: the newest records
// that fit in half the limit, oldest first, and nothing else.
std::vector<uint8_t> NewestRecords(std::vector<HistoryRecord>& records) {
  std::size_t size = 0, first = records.size();
  while (first > 0 && size + HistoryLine(records[first - 1]).size() + 2 <= kHistoryMaxFileSize / 2)
    size += HistoryLine(records[--first]).size() + 2;
  records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(first));
  std::vector<uint8_t> bytes;
  for (const HistoryRecord& record : records)
    AppendLine(bytes, HistoryLine(record));
  return bytes;
}

} // namespace

bool HistoryPutRecord(const std::string& path, HistoryRecord& record, const ClockTime& now,
                      HistoryPut& put, std::string& error, HeldFileWait& wait) {
  put = HistoryPut();
  HistoryFile file;
  if (!HistoryLoad(path, file, error))
    return false;
  if (!file.foreign.empty()) {
    std::string why;
    if (!MoveAside(path, now, put.movedTo, why)) {
      error = "the file is not a history (" + file.foreign + ") and cannot be moved aside: " + why;
      return false;
    }
    put.movedWhy = "it was no file this program could read (" + file.foreign + ")";
    file = HistoryFile();
  }
  if (record.id.empty()) {
    const std::string stamp = FileStamp(now);
    record.id = stamp;
    for (int n = 2;; ++n) {
      bool taken = false;
      for (const HistoryRecord& other : file.records)
        taken = taken || other.id == record.id;
      if (!taken)
        break;
      record.id = stamp + "-" + std::to_string(n);
    }
  }
  record.format = HistoryFormat::Third;
  const std::string text = HistoryLine(record);
  int replaced = -1;
  for (std::size_t i = 0; i < file.records.size(); ++i) {
    if (HistoryHasIds(file.records[i].format) && file.records[i].id == record.id)
      replaced = static_cast<int>(i);
  }
  const std::size_t count = file.records.size() + (replaced < 0 ? 1 : 0);
  const std::size_t dropped = count > kHistoryKept ? count - kHistoryKept : 0;

  const std::vector<uint8_t>& old = file.bytes;
  const std::size_t body = file.lines.empty() ? old.size() : file.lines.front().begin;
  std::vector<uint8_t> bytes(old.begin(), old.begin() + static_cast<std::ptrdiff_t>(body));
  for (const HistoryFile::Line& line : file.lines) {
    if (line.record >= 0 && static_cast<std::size_t>(line.record) < dropped) {
      put.dropped.push_back(file.records[static_cast<std::size_t>(line.record)]);
      continue;
    }
    if (line.record >= 0 && line.record == replaced) {
      AppendLine(bytes, text);
      put.records.push_back(record);
      continue;
    }
    bytes.insert(bytes.end(), old.begin() + static_cast<std::ptrdiff_t>(line.begin),
                 old.begin() + static_cast<std::ptrdiff_t>(line.next));
    if (line.next == line.end)
      bytes.insert(bytes.end(), {'\r', '\n'});
    if (line.record >= 0)
      put.records.push_back(file.records[static_cast<std::size_t>(line.record)]);
  }
  if (replaced < 0) {
    AppendLine(bytes, text);
    put.records.push_back(record);
  }
  // Moved aside before it would grow too large to read, so that no later
  // write finds it unreadable and starts afresh without the records it needs.
  if (bytes.size() > kHistoryMaxFileSize) {
    std::string why;
    if (!MoveAside(path, now, put.movedTo, why)) {
      error = "the file would grow past " + std::to_string(kHistoryMaxFileSize) +
              " bytes and cannot be moved aside: " + why;
      put.records.clear();
      return false;
    }
    put.movedWhy = "it would have grown past " + std::to_string(kHistoryMaxFileSize) + " bytes";
    bytes = NewestRecords(put.records);
  }
  const std::string folder = Folder(path);
  if ((!folder.empty() && !MakeFolders(folder, error)) ||
      WriteFileWhole(path, bytes, true, error, wait) != WriteFileResult::Written) {
    put.records.clear();
    return false;
  }
  // Its content is in the history now; a later reader must not take it up.
  std::string ignored;
  RemoveFile(RestoreName(path), ignored);
  return true;
}
