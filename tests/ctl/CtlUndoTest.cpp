// history and undo: the records listed, needing neither the library nor the
// adapter; which change undo puts back, what it passes over and why, and
// what it refuses unless forced.

#include "CtlFixture.h"

#include "tests/session/SessionTestFiles.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using Undo = CtlFixture;
using Why = UndoPassReason;
using Passed = std::vector<std::pair<std::string, Why>>;

// The changes undo passed over, each by its id.
Passed PassedOver(const CtlResult& run) {
  Passed passed;
  for (const CtlPassed& each : run.passedOver.value_or(std::vector<CtlPassed>{}))
    passed.push_back({each.record.id, each.why});
  return passed;
}

// The id of the record undo undid or refused; "(none)" when it named none.
std::string RecordId(const CtlResult& run) {
  return run.undoRecord ? run.undoRecord->id : "(none)";
}

// Each row: what the history file holds ("(none)" no file, "(folder)" a
// folder in its place), the run's facts, how many records it lists (the
// switch's), the lines it skipped, and whether it found a file that is no
// history of this program's.
TEST_F(Undo, HistoryListsTheRecordsAndSaysWhatItSkipped) {
  ASSERT_EQ(Run({"on"}).status, 0);
  const HistoryRecord on = Records().at(0);
  EXPECT_EQ(on.address, Address());
  EXPECT_EQ(on.firmware, "INT7420-MAC-1.1.3");
  const std::string path = HistoryPath(), records = Bytes(path);
  // clang-format off
  const struct { std::string file; const char* facts; std::size_t listed; std::vector<std::size_t> skipped;
                 bool foreign; } cases[] = {
      {"(none)", "0", 0, {}, false},
      {records, "0", 1, {}, false},
      {records + "not a record\r\n", "0", 1, {2}, false},
      {std::string("a\0b\r\n", 5), "0", 0, {}, true},
      {"(folder)", "2 file", 0, {}, false},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::filesystem::remove_all(path);
    if (c.file == "(folder)")
      std::filesystem::create_directories(path);
    else if (c.file != "(none)")
      Write(path, c.file);
    fake.calls.clear();
    const CtlResult run = Run({"history"});
    EXPECT_EQ(Facts(run), c.facts);
    EXPECT_EQ(fake.CallsText(), "");
    ASSERT_NE(run.failure.has_value(), run.history.has_value());
    EXPECT_EQ(run.failure ? run.failure->path : run.history->path, path);
    if (run.failure)
      continue;
    ASSERT_EQ(run.history->records.size(), c.listed);
    if (c.listed != 0) {
      EXPECT_EQ(HistoryLine(run.history->records[0]), HistoryLine(on));
    }
    EXPECT_EQ(run.history->skipped, c.skipped);
    EXPECT_EQ(!run.history->foreign.empty(), c.foreign);
    if (c.foreign) { // undo never decides on a file it cannot read as a history
      EXPECT_EQ(Facts(Run({"undo"})), "1 undo_unread (nothing written)");
    }
  }
}

// Each undo puts back, byte for byte, what the adapter held before the
// newest change not yet undone, from that change's copy, passes over a write
// that changed nothing, and says so when nothing is left.
TEST_F(Undo, WalksBackThroughEveryChange) {
  const std::vector<uint8_t> off = fake.image;
  ASSERT_EQ(Run({"on"}).status, 0);
  const std::vector<uint8_t> on = fake.image;
  ASSERT_EQ(Run({"off"}).status, 0);
  ASSERT_EQ(Run({"off", "--force"}).status, 0);
  std::vector<HistoryRecord> records = Records();
  ASSERT_EQ(records.size(), 3u);
  ASSERT_EQ(Copies(), 3u);
  // clang-format off
  const struct { const char* facts; std::string undoes, copy; const std::vector<uint8_t>& holds; } cases[] = {
      {"0 write:verified", records[1].id, records[1].copy, on},
      {"0 write:verified", records[0].id, records[0].copy, off},
      {"1 undo_nothing_left (nothing written)", "(none)", "", off},
  };
  // clang-format on
  for (const auto& c : cases) {
    const CtlResult run = Run({"undo"});
    EXPECT_EQ(Facts(run), c.facts);
    EXPECT_EQ(PassedOver(run), (Passed{{records[2].id, Why::ChangedNothing}}));
    EXPECT_EQ(RecordId(run), c.undoes);
    EXPECT_EQ(run.restored, c.copy);
    if (run.write) {
      EXPECT_EQ(run.write->bytes, builder.WriteLength());
    }
    EXPECT_EQ(fake.image, c.holds);
  }
  records = Records();
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[3].action, HistoryAction::Undo);
  EXPECT_EQ(records[3].undoes, records[1].id);
  EXPECT_EQ(records[4].undoes, records[0].id);
  EXPECT_EQ(records[4].result, HistoryResult::Done);
}

enum class Spoil {
  None,
  PutBack,
  FirstFormat,
  CopyDamaged,
  Unopenable,
  OtherParameter,
  Cut,
  CutTaken
};

// Each row: a switch off→on (on→off for a parameter adapter), then what
// happened since; what undo does, and the record it names ("id" the
// switch's, "" one without an id); then, for a refusal that points to
// --force, what a forced undo does. A forced undo writes only onto the
// adapter the copy was taken from; what it wrote is the adapter as it was
// before the switch. A run stopped during its write leaves its record
// `started`, which the next run names: undo passes it over while the adapter
// holds what the write started from, and undoes it once the adapter shows it
// took what was sent.
TEST_F(Undo, RefusesWhatItCannotProveAndForceRestores) {
  const char* const changed = "1 undo_changed (nothing written)";
  // clang-format off
  const struct { const char* row; Spoil spoil; bool broadcom; const char *facts, *record, *forced; } cases[] = {
      {"undone", Spoil::None, false, "0 write:verified", "id", ""},
      {"image put back by another tool", Spoil::PutBack, false, changed, "id", "0 write:verified"},
      {"first format", Spoil::FirstFormat, false, "1 undo_unchecked (nothing written)", "", "0 write:verified"},
      {"copy damaged", Spoil::CopyDamaged, false, "1 undo_copy_unread (nothing written)", "id", ""},
      {"image does not open", Spoil::Unopenable, false, "1 undo_unproven (nothing written)", "(none)", ""},
      {"parameter undone", Spoil::None, true, "0 write:verified", "id", ""},
      {"another adapter's parameter", Spoil::OtherParameter, true, changed, "id",
       "1 undo_force_refused (nothing written) write:refused"},
      {"cut short, not taken", Spoil::Cut, false, "1 undo_nothing_left (nothing written)", "(none)", ""},
      {"cut short, taken", Spoil::CutTaken, false, "0 write:verified", "id", ""},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    Given(c.broadcom ? "B" : "");
    const std::vector<uint8_t>& adapter = c.broadcom ? fake.param : fake.image;
    const std::vector<uint8_t> before = adapter;
    std::string started;
    fake.onWrite = [&] { started = Bytes(HistoryPath()); };
    ASSERT_EQ(Run({c.broadcom ? "off" : "on"}).status, 0);
    const HistoryRecord switched = Records().at(0);
    const bool cut = c.spoil == Spoil::Cut || c.spoil == Spoil::CutTaken;
    if (cut)
      Write(HistoryPath(), started);
    if (c.spoil == Spoil::PutBack || c.spoil == Spoil::Cut)
      fake.image = builder.image;
    if (c.spoil == Spoil::FirstFormat) {
      // The record as earlier versions wrote it: their tag and the first
      // fields alone.
      const std::string line = HistoryLine(switched);
      const std::size_t start = line.find('\t');
      std::size_t end = start;
      for (std::size_t field = 0; field < HistoryFieldCount(HistoryFormat::First); ++field)
        end = line.find('\t', end + 1);
      Write(HistoryPath(),
            HistoryTag(HistoryFormat::First) + line.substr(start, end - start) + "\r\n");
    }
    if (c.spoil == Spoil::CopyDamaged) {
      std::vector<uint8_t> bytes = ReadWhole(switched.copy);
      bytes[bytes.size() / 2] ^= 1;
      WriteWhole(switched.copy, bytes);
    }
    if (c.spoil == Spoil::Unopenable)
      fake.image = Unopenable();
    if (c.spoil == Spoil::OtherParameter)
      fake.param[8] ^= 0x5a;
    const std::vector<uint8_t> spoilt = adapter;
    for (const bool force : {false, true}) {
      const char* facts = force ? c.forced : c.facts;
      if (facts[0] == '\0')
        break;
      const CtlResult run = Run(force ? std::vector<std::string>{"undo", "--force"}
                                      : std::vector<std::string>{"undo"});
      EXPECT_EQ(Facts(run), facts);
      EXPECT_EQ(RecordId(run), c.record == std::string("id") ? switched.id : c.record);
      EXPECT_EQ(adapter, run.status == 0 ? before : spoilt);
      const Passed notWritten{{switched.id, Why::NotWritten}};
      EXPECT_EQ(PassedOver(run), c.spoil == Spoil::Cut ? notWritten : Passed{});
      ASSERT_EQ(run.cutShort.has_value(), cut);
      if (cut) {
        EXPECT_EQ(run.cutShort->program, HistoryProgram::Ctl);
        EXPECT_EQ(run.cutShort->time, switched.time);
        EXPECT_TRUE(run.cutShort->identified);
      }
    }
  }
}

} // namespace
