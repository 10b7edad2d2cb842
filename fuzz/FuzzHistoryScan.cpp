// HistoryScan on arbitrary bytes as a whole file: its lines cover the file
// from the byte order mark to the end without gap or overlap, since the
// writer copies every line it did not write by those ranges; each record is
// named by exactly one line, in order; and what the reader took, written
// again, reads back the same, so rewriting the file never changes a record.
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "session/History.h"

namespace {

void Require(bool holds) {
  if (!holds) {
    std::abort();
  }
}

bool IsLineEnd(std::string_view end) {
  return end.empty() || end == "\r" || end == "\n" || end == "\r\n";
}

bool SameFields(const HistoryRecord& a, const HistoryRecord& b, std::size_t fields) {
  for (std::size_t i = 0; i < fields; ++i) {
    if (kHistoryFields[i].text(a) != kHistoryFields[i].text(b)) {
      return false;
    }
  }
  return a.format == b.format;
}

// The record's line in its own format: an older line has the older tag and
// only the first fields, which HistoryLine writes first.
std::string WrittenLine(const HistoryRecord& record) {
  std::string line = HistoryLine(record);
  if (record.format == HistoryFormat::Third) {
    return line;
  }
  std::size_t cut = 0;
  for (std::size_t i = 0; i <= HistoryFieldCount(record.format); ++i) {
    cut = line.find('\t', cut + 1);
    Require(cut != std::string::npos);
  }
  return HistoryTag(record.format) +
         line.substr(line.find('\t'), cut - line.find('\t'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> input(data, data + size);
  HistoryFile file;
  HistoryScan(input, file);
  Require(file.bytes == input);
  if (!file.foreign.empty()) {
    Require(file.lines.empty() && file.records.empty());
    return 0;
  }
  const std::string_view all(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
  const bool bom = all.substr(0, 3) == "\xEF\xBB\xBF";
  std::size_t at = bom ? 3 : 0;
  std::size_t records = 0;
  for (const HistoryFile::Line& line : file.lines) {
    Require(line.begin == at && line.begin <= line.end && line.end <= line.next &&
            line.next <= all.size() && line.begin < line.next);
    const std::string_view text = all.substr(line.begin, line.end - line.begin);
    Require(text.find_first_of("\r\n") == std::string_view::npos);
    Require(IsLineEnd(all.substr(line.end, line.next - line.end)));
    // Only the last line may lack a line end, and a CR LF is one line end.
    Require(line.next > line.end || line.next == all.size());
    Require(!(all.substr(line.end, line.next - line.end) == "\r" && line.next < all.size() &&
              all[line.next] == '\n'));
    HistoryRecord parsed;
    const bool isRecord = HistoryParse(text, parsed);
    if (line.record < 0) {
      Require(!isRecord);
    } else {
      Require(isRecord && static_cast<std::size_t>(line.record) == records);
      Require(records < file.records.size());
      Require(SameFields(parsed, file.records[records], std::size(kHistoryFields)));
      ++records;
    }
    at = line.next;
  }
  Require(at == all.size() && records == file.records.size());

  for (const HistoryRecord& record : file.records) {
    Require(record.format >= HistoryFormat::First && record.format <= HistoryFormat::Third);
    const std::string line = WrittenLine(record);
    Require(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
    HistoryRecord again;
    Require(HistoryParse(line, again));
    Require(SameFields(again, record, HistoryFieldCount(record.format)));
  }
  return 0;
}
