// undo: which change it puts back, what it passes over and why, and what it
// refuses unless forced.

#include "CtlFixture.h"

#include "tests/session/SessionTestFiles.h"

#include <cstdio>
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
  const std::vector<std::string> copies = Copies();
  ASSERT_EQ(copies.size(), 3u);
  const Passed passed{{records[2].id, Why::ChangedNothing}};
  // clang-format off
  const struct {
    const char* facts;
    std::string undoes, copy;
    const std::vector<uint8_t>& holds;
  } cases[] = {
      {"0 write:verified", records[1].id, copies[1], on},
      {"0 write:verified", records[0].id, copies[0], off},
      {"1 undo_nothing_left (nothing written)", "(none)", "", off},
  };
  // clang-format on
  for (const auto& c : cases) {
    const CtlResult run = Run({"undo"});
    EXPECT_EQ(Facts(run), c.facts);
    EXPECT_EQ(PassedOver(run), passed);
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

enum class Spoil { None, PutBack, FirstFormat, CopyDamaged, Unopenable, OtherParameter };

// Each row: a switch off→on (on→off for a parameter adapter), then what
// happened since; what undo does, and the record it names ("id" the
// switch's, "" one without an id); then, for a refusal that points to
// --force, what a forced undo does. A forced undo writes only onto the
// adapter the copy was taken from; what it wrote is the adapter as it was
// before the switch.
TEST_F(Undo, RefusesWhatItCannotProveAndForceRestores) {
  // clang-format off
  const struct {
    const char* row;
    Spoil spoil;
    bool broadcom;
    const char *facts, *record, *forced;
  } cases[] = {
      {"undone", Spoil::None, false, "0 write:verified", "id", ""},
      {"image put back by another tool", Spoil::PutBack, false, "1 undo_changed (nothing written)", "id",
       "0 write:verified"},
      {"first format", Spoil::FirstFormat, false, "1 undo_unchecked (nothing written)", "", "0 write:verified"},
      {"copy damaged", Spoil::CopyDamaged, false, "1 undo_copy_unread (nothing written)", "id", ""},
      {"image does not open", Spoil::Unopenable, false, "1 undo_unproven (nothing written)", "(none)", ""},
      {"parameter undone", Spoil::None, true, "0 write:verified", "id", ""},
      {"another adapter's parameter", Spoil::OtherParameter, true, "1 undo_changed (nothing written)", "id",
       "1 undo_force_refused (nothing written) write:refused"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    DataFolderAt(c.row);
    fake.image = builder.image;
    if (c.broadcom)
      UseBroadcom(true);
    const std::vector<uint8_t>& adapter = c.broadcom ? fake.param : fake.image;
    const std::vector<uint8_t> before = adapter;
    ASSERT_EQ(Run({c.broadcom ? "off" : "on"}).status, 0);
    const std::vector<HistoryRecord> records = Records();
    ASSERT_EQ(records.size(), 1u);
    const std::string copy = records[0].copy;
    switch (c.spoil) {
    case Spoil::None:
      break;
    case Spoil::PutBack:
      fake.image = builder.image;
      break;
    case Spoil::FirstFormat: {
      // The record as earlier versions wrote it: their tag and the first
      // fields alone.
      const std::string line = HistoryLine(records[0]);
      std::size_t end = line.find('\t');
      for (std::size_t field = 0; field < HistoryFieldCount(HistoryFormat::First); ++field)
        end = line.find('\t', end + 1);
      std::remove(HistoryPath().c_str());
      AppendHistory(HistoryTag(HistoryFormat::First) +
                    line.substr(line.find('\t'), end - line.find('\t')));
      break;
    }
    case Spoil::CopyDamaged: {
      std::vector<uint8_t> bytes = ReadWhole(copy);
      bytes[bytes.size() / 2] ^= 1;
      WriteWhole(copy, bytes);
      break;
    }
    case Spoil::Unopenable:
      fake.image = Unopenable();
      break;
    case Spoil::OtherParameter:
      fake.param[8] ^= 0x5a;
      break;
    }
    const std::vector<uint8_t> spoilt = adapter;
    const std::string record = c.record == std::string("id") ? records[0].id : c.record;
    CtlResult run = Run({"undo"});
    EXPECT_EQ(Facts(run), c.facts);
    EXPECT_EQ(RecordId(run), record);
    EXPECT_EQ(adapter, run.status == 0 ? before : spoilt);
    if (c.forced[0] == '\0')
      continue;
    run = Run({"undo", "--force"});
    EXPECT_EQ(Facts(run), c.forced);
    EXPECT_EQ(RecordId(run), record);
    EXPECT_EQ(adapter, run.status == 0 ? before : spoilt);
  }
}

// A run stopped during its write leaves its record `started`, which the next
// run names. Undo passes it over while the adapter holds what the write
// started from, and undoes it once the adapter shows it took what was sent.
TEST_F(Undo, AWriteCutShortIsUndoneOnlyOnceTheAdapterTookIt) {
  std::string started;
  fake.onWrite = [&] { started = Bytes(HistoryPath()); };
  ASSERT_EQ(Run({"on"}).status, 0);
  fake.onWrite = nullptr;
  const HistoryRecord on = Records().at(0);
  Write(HistoryPath(), started);
  const std::vector<uint8_t> sent = fake.image;
  fake.image = builder.image;
  // Each run names the write that was cut short.
  const auto namesTheCut = [&](const CtlResult& run) {
    return run.cutShort && run.cutShort->program == HistoryProgram::Ctl &&
           run.cutShort->time == on.time && run.cutShort->identified;
  };
  CtlResult run = Run({"undo"});
  EXPECT_TRUE(namesTheCut(run));
  EXPECT_EQ(Facts(run), "1 undo_nothing_left (nothing written)");
  EXPECT_EQ(PassedOver(run), (Passed{{on.id, Why::NotWritten}}));
  EXPECT_EQ(fake.image, builder.image);
  fake.image = sent;
  run = Run({"undo"});
  EXPECT_EQ(Facts(run), "0 write:verified");
  EXPECT_EQ(PassedOver(run), Passed{});
  EXPECT_EQ(RecordId(run), on.id);
  EXPECT_TRUE(namesTheCut(run));
  EXPECT_EQ(fake.image, builder.image);
}

} // namespace
