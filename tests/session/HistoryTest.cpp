// The history's lines and file: what is a record, what the reader takes, and
// that the writer keeps every byte it did not write.

#include "session/History.h"

#include "session/ClockTime.h"
#include "tests/session/SessionTestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

HistoryRecord Record(const std::string& copy, const std::string& id = "20261208-072131-123") {
  // clang-format off
  HistoryRecord record = {"2026-12-08T07:21:31Z", HistoryProgram::Ctl, HistoryAction::Off,
                          AdapterFamily::QualcommAtheros, "00:b0:52:00:00:01", "INT7420-MAC-1.1",
                          PowerSaveState::On, PowerSaveState::Off, HistoryResult::Done, copy, id,
                          std::string(64, 'a'), std::string(64, 'b'), "", 20536, std::string(64, 'c')};
  // clang-format on
  return record;
}

std::string Line(const std::string& copy) {
  return HistoryLine(Record(copy, "id-" + copy));
}

const char kEveryHexDigit[] = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

// A line is a record only when every field is there and each holds a value
// it may hold; anything else is damaged or foreign. Lines of the earlier
// formats, without the digests or without what was sent, are still read.
TEST(History, ALineIsARecordOnlyWhenWhole) {
  const std::string good = HistoryLine(Record("C:\\copies\\a.ostrel"));
  const std::string fields = good.substr(good.find('\t'));
  const std::string firstFormat =
      "ostrel-history-1" + fields.substr(0, good.find("\t20261208") - good.find('\t'));
  const std::string secondFields = fields.substr(0, fields.find("\t20536"));
  const auto withLength = [&good](const std::string& length) {
    return std::string(good).replace(good.find("\t20536\t"), 7, "\t" + length + "\t");
  };
  const auto atTime = [&good](const std::string& time) {
    return std::string(good).replace(good.find("2026-12-08T"), 20, time);
  };
  // The line of a record that `change` made from the plain one.
  const auto with = [](auto change) {
    HistoryRecord record = Record("");
    change(record);
    return HistoryLine(record);
  };
  const struct {
    std::string line;
    int format; // 0: no record
  } cases[] = {
      // clang-format off
      {good, 3},
      {firstFormat, 1},
      {"ostrel-history-2" + secondFields, 2},
      {with([](HistoryRecord& r) { r.undoes = "20261208-000000-000"; r.action = HistoryAction::Undo; }), 3},
      {with([](HistoryRecord& r) { r.beforeSha256 = kEveryHexDigit; }), 3},
      {"", 0},
      {"some other program's line", 0},
      {"ostrel-history-4" + fields, 0},
      {"ostrel-history-3" + secondFields, 0},
      {"ostrel-history-2" + fields, 0},
      {"ostrel-history-1" + fields, 0},
      {withLength("1"), 3},
      {withLength("1234567"), 3},
      {withLength(""), 0},
      {withLength("0"), 0},
      {withLength("020536"), 0},
      {withLength("12345678"), 0},
      {withLength("2053x"), 0},
      {with([](HistoryRecord& r) { r.sentSha256 = "c"; }), 0},
      {atTime("2024-02-29T23:59:59Z"), 3},
      {atTime("2026-12-31T00:00:00Z"), 3},
      {atTime("9999-99-99T99:99:99Z"), 0},
      {atTime("2026-00-08T07:21:31Z"), 0},
      {atTime("2026-13-08T07:21:31Z"), 0},
      {atTime("2026-12-00T07:21:31Z"), 0},
      {atTime("2026-02-29T07:21:31Z"), 0},
      {atTime("2100-02-29T07:21:31Z"), 0},
      {atTime("2026-04-31T07:21:31Z"), 0},
      {atTime("2026-12-08T24:00:00Z"), 0},
      {atTime("2026-12-08T07:60:31Z"), 0},
      {atTime("2026-12-08T07:21:60Z"), 0},
      {good.substr(0, good.rfind('\t')), 0},
      {good + "\textra", 0},
      {with([](HistoryRecord& r) { r.id.clear(); }), 0},
      {with([](HistoryRecord& r) { r.afterSha256 = std::string(64, 'G'); }), 0},
      {with([](HistoryRecord& r) { r.undoes = "20261208-000000-000"; }), 0},
      {std::string(good).replace(good.find("\tostrelctl\t"), 10, "\tostrel"), 0},
      {std::string(good).replace(good.find("\tqualcomm-atheros\t"), 17, "\tQualcomm-Atheros"), 0},
      {firstFormat.substr(0, firstFormat.find("\tdone")) + "\tstarted\t", 0},
      {std::string(good).replace(good.find("2026-12-08T"), 20, "2026-12-08 07:21:31"), 0},
      {std::string(good).replace(good.find("2026-12-08T"), 1, "x"), 0},
      {Line("x") + "\\x4", 0},
      {Line("x") + "\\q00", 0},
      // clang-format on
  };
  for (const auto& c : cases) {
    HistoryRecord record;
    EXPECT_EQ(HistoryParse(c.line, record), c.format != 0) << c.line;
    if (c.format != 0) {
      EXPECT_EQ(record.format, static_cast<HistoryFormat>(c.format)) << c.line;
    }
  }
}

// Text from the device or a path can hold anything a line could be cut at.
TEST(History, EveryTextComesBackAsItWasWritten) {
  HistoryRecord written = Record("C:\\папка\\コピー.ostrel");
  written.firmware = "fw\t1\r\n\\x41\x01\x7f";
  HistoryRecord read;
  ASSERT_TRUE(HistoryParse(HistoryLine(written), read));
  for (const HistoryField& field : kHistoryFields)
    EXPECT_EQ(field.text(read), field.text(written)) << field.name;
  EXPECT_EQ(HistoryLine(written).find_first_of("\r\n"), std::string::npos);
  EXPECT_NE(HistoryLine(written).find("\\x01\\x7f"), std::string::npos); // DEL too
}

// Any line end a text editor leaves, and a byte order mark, are read; a file
// that is no UTF-8 text is not a history at all.
TEST(History, ReadsWhatEditorsLeaveAndKnowsWhatIsNotAHistory) {
  const std::string a = Line("a"), b = Line("b");
  // The largest history the README promises to rewrite.
  constexpr std::size_t kSixteenMiB = 16u << 20;
  const struct {
    const char* label;
    std::string bytes;
    std::size_t records;
    std::vector<std::size_t> skipped;
    const char* foreign;
  } cases[] = {
      // clang-format off
      {"CR LF", a + "\r\n" + b + "\r\n", 2, {}, ""},
      {"LF, no last line end", a + "\n" + b, 2, {}, ""},
      {"CR", a + "\r" + b + "\r", 2, {}, ""},
      {"byte order mark", "\xEF\xBB\xBF" + a + "\r\nnote\r\n" + b, 2, {2}, ""},
      {"blank lines", "\r\n\n" + a + "\r\n", 1, {1, 2}, ""},
      {"UTF-16", std::string("\xFF\xFEo\0s\0", 6), 0, {}, "it holds NUL bytes"},
      {"not UTF-8", a + "\r\n\xC0\xAF\r\n", 0, {}, "it is not UTF-8 text"},
      // The edges of each lead's range: U+07FF, U+0800, U+D7FF, U+10000, U+10FFFF.
      {"UTF-8 edges", a + "\r\n\xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xF0\x90\x80\x80 \xF4\x8F\xBF\xBF\r\n" + b,
       2, {2}, ""},
      {"a stray continuation byte", a + "\r\n\x80\r\n", 0, {}, "it is not UTF-8 text"},
      {"U+07FF overlong", a + "\r\n\xE0\x9F\xBF\r\n", 0, {}, "it is not UTF-8 text"},
      {"a surrogate", a + "\r\n\xED\xA0\x80\r\n", 0, {}, "it is not UTF-8 text"},
      {"U+FFFF overlong", a + "\r\n\xF0\x8F\xBF\xBF\r\n", 0, {}, "it is not UTF-8 text"},
      {"past U+10FFFF", a + "\r\n\xF4\x90\x80\x80\r\n", 0, {}, "it is not UTF-8 text"},
      {"16 MiB", std::string(kSixteenMiB, 'x'), 0, {1}, ""},
      {"over 16 MiB", std::string(kSixteenMiB + 1, 'x'), 0, {}, "it is over 16777216 bytes"},
      // clang-format on
  };
  for (const auto& c : cases) {
    HistoryFile file;
    HistoryScan(std::vector<uint8_t>(c.bytes.begin(), c.bytes.end()), file);
    EXPECT_EQ(file.records.size(), c.records) << c.label;
    EXPECT_EQ(HistorySkipped(file), c.skipped) << c.label;
    EXPECT_EQ(file.foreign.substr(0, std::string(c.foreign).size()), c.foreign) << c.label;
  }
}

// The newest 1000 records stay, however many lines are not records; every
// line the writer did not write keeps its bytes, line ends too; a write's
// "started" line is replaced by its finished record.
TEST(History, KeepsTheNewestThousandRecordsAndEveryByteItDidNotWrite) {
  const std::string folder = SessionTestFolder();
  const std::string path = folder + kPathSeparator + "history.txt";
  std::string notes;
  for (int i = 0; i < 997; ++i)
    notes += "note " + std::to_string(i) + "\n";
  std::string records;
  for (int i = 0; i < 4; ++i)
    records += Line("c" + std::to_string(i)) + "\n";
  Write(path, "\xEF\xBB\xBF" + notes + records);
  HistoryRecord started = Record("c4", "");
  started.result = HistoryResult::Started;
  HistoryPut put;
  std::string error;
  ASSERT_TRUE(HistoryPutRecord(path, started, ClockTime{}, put, error)) << error;
  EXPECT_EQ(started.id, "19700101-000000-000");
  HistoryRecord finished = started;
  finished.result = HistoryResult::Done;
  ASSERT_TRUE(HistoryPutRecord(path, finished, ClockTime{}, put, error)) << error;
  EXPECT_EQ(Bytes(path), "\xEF\xBB\xBF" + notes + records + HistoryLine(finished) + "\r\n");
  ASSERT_EQ(put.records.size(), 5u);
  EXPECT_EQ(put.records.back().result, HistoryResult::Done);
  // Another record in the same millisecond gets an id of its own, and one
  // of the first format is written in the present one: the records handed
  // back are those the file now holds.
  HistoryRecord again = Record("c5", "");
  again.format = HistoryFormat::First;
  ASSERT_TRUE(HistoryPutRecord(path, again, ClockTime{}, put, error)) << error;
  EXPECT_EQ(again.id, "19700101-000000-000-2");
  HistoryFile file;
  ASSERT_TRUE(HistoryLoad(path, file, error)) << error;
  ASSERT_EQ(put.records.size(), 6u);
  ASSERT_EQ(file.records.size(), put.records.size());
  for (std::size_t i = 0; i < file.records.size(); ++i) {
    EXPECT_EQ(HistoryLine(put.records[i]), HistoryLine(file.records[i])) << i;
    EXPECT_EQ(put.records[i].format, file.records[i].format) << i;
  }

  for (std::size_t i = 4; i < kHistoryKept; ++i)
    records += Line("c" + std::to_string(i)) + "\n";
  Write(path, notes + records);
  HistoryRecord next = Record("new", "");
  ASSERT_TRUE(HistoryPutRecord(path, next, ClockTime{}, put, error)) << error;
  ASSERT_EQ(put.records.size(), kHistoryKept);
  EXPECT_EQ(put.records.front().copy, "c1");
  EXPECT_EQ(put.records.back().id, "19700101-000000-000");
  EXPECT_EQ(Bytes(path),
            notes + records.substr(records.find('\n') + 1) + HistoryLine(next) + "\r\n");
  ASSERT_EQ(put.dropped.size(), 1u);
  EXPECT_EQ(put.dropped.front().copy, "c0");
  // The oldest record kept, finished, takes its own line: none drops out.
  HistoryRecord oldest = put.records.front();
  oldest.result = HistoryResult::Failed;
  ASSERT_TRUE(HistoryPutRecord(path, oldest, ClockTime{}, put, error)) << error;
  ASSERT_EQ(put.records.size(), kHistoryKept);
  EXPECT_EQ(put.records.front().result, HistoryResult::Failed);
  EXPECT_EQ(put.records.back().id, "19700101-000000-000");
}

// Each field keeps its digits whatever a clock hands in, so that a record's
// time is one the reader takes and a name stays the shape of its kind.
TEST(History, TimesKeepTheirShapeForAnyClock) {
  const ClockTime odd = {12026, 112, 108, 107, 160, 131, 1123};
  EXPECT_EQ(IsoTime(odd), "2026-12-08T07:59:31Z");
  EXPECT_EQ(FileStamp(odd), "20261208-076031-123");
  EXPECT_EQ(IsoTime({2026, 2, 31, 24, 0, 60, 0}), "2026-02-28T23:00:59Z");
  EXPECT_EQ(IsoTime({2028, 0, 0, 0, 0, 0, 0}), "2028-01-01T00:00:00Z");
  EXPECT_EQ(IsoTime({2024, 2, 30, 0, 0, 0, 0}), "2024-02-29T00:00:00Z");
}

// A file the writer cannot read as a history is moved aside whole, and the
// record starts a new file.
TEST(History, AFileThatIsNoHistoryIsMovedAsideUnchanged) {
  const std::string folder = SessionTestFolder();
  const std::string path = folder + kPathSeparator + "history.txt";
  const std::string utf16("\xFF\xFEo\0s\0\r\0\n\0", 10);
  Write(path, utf16);
  Write(folder + kPathSeparator + "history-20261208-072131-123.txt", "in the way");
  HistoryRecord record = Record("c", "");
  HistoryPut put;
  std::string error;
  const ClockTime now = {2026, 12, 8, 7, 21, 31, 123};
  ASSERT_TRUE(HistoryPutRecord(path, record, now, put, error)) << error;
  EXPECT_EQ(put.movedTo, folder + kPathSeparator + "history-20261208-072131-123-2.txt");
  EXPECT_EQ(Bytes(put.movedTo), utf16);
  EXPECT_EQ(Bytes(path), HistoryLine(record) + "\r\n");
}

// The old history that a failed replace left beside its name is read when
// the history is missing, and the next write takes it back in and removes it.
TEST(History, AMissingHistoryIsReadFromWhereAFailedReplaceLeftIt) {
  const std::string folder = SessionTestFolder();
  const std::string path = folder + kPathSeparator + "history.txt";
  Write(RestoreName(path), Line("a") + "\r\n");
  HistoryFile file;
  std::string error;
  ASSERT_TRUE(HistoryLoad(path, file, error)) << error;
  ASSERT_EQ(file.records.size(), 1u);
  EXPECT_EQ(file.records[0].copy, "a");
  HistoryRecord record = Record("b", "id-b");
  HistoryPut put;
  ASSERT_TRUE(HistoryPutRecord(path, record, {2026, 12, 8, 7, 21, 31, 123}, put, error)) << error;
  EXPECT_EQ(Bytes(path), Line("a") + "\r\n" + Line("b") + "\r\n");
  EXPECT_FALSE(std::filesystem::exists(RestoreName(path)));
}

} // namespace
