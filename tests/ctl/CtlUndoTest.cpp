// undo: which change it puts back, what it passes over and why, and what it
// refuses unless forced.

#include "CtlFixture.h"

#include "tests/session/SessionTestFiles.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Undo = CtlFixture;

std::string RecordName(const HistoryRecord& record) {
  return record.time + " ostrelctl " + NameOf(record.action) + " (" + record.id + ")";
}

// Each undo puts back, byte for byte, what the adapter held before the
// newest change not yet undone, passes over a write that changed nothing,
// and says so when nothing is left.
TEST_F(Undo, WalksBackThroughEveryChange) {
  const std::vector<uint8_t> off = fake.image;
  ASSERT_EQ(Run({"on"}).status, 0);
  const std::vector<uint8_t> on = fake.image;
  ASSERT_EQ(Run({"off"}).status, 0);
  ASSERT_EQ(Run({"off", "--force"}).status, 0);
  std::vector<HistoryRecord> records = Records();
  ASSERT_EQ(records.size(), 3u);
  const std::string bytes = std::to_string(builder.WriteLength());
  const std::vector<std::string> copies = Copies();
  ASSERT_EQ(copies.size(), 3u);
  const std::string passed = "passed over: " + RecordName(records[2]) + ": it changed nothing";

  ExpectRun(Run({"undo"}),
            {0,
             {passed, "restored: " + copies[1] + " (" + bytes + " bytes written)",
              "verified: " + bytes + " bytes"},
             {},
             {{"passed_over", "[" + JsonString(records[2].id) + "]"},
              {"undoes", JsonString(records[1].id)},
              {"verified", "true"}}},
            "first undo");
  EXPECT_EQ(fake.image, on);
  ExpectRun(Run({"undo"}),
            {0,
             {passed, "restored: " + copies[0] + " (" + bytes + " bytes written)",
              "verified: " + bytes + " bytes"},
             {},
             {{"undoes", JsonString(records[0].id)}}},
            "second undo");
  EXPECT_EQ(fake.image, off);
  const std::string nothing = "no change of this adapter is left to undo; nothing written";
  ExpectRun(Run({"undo"}),
            {1,
             {passed},
             {"ostrelctl: " + nothing},
             {{"passed_over", "[" + JsonString(records[2].id) + "]"},
              {"error", JsonString(nothing)},
              {"error_code", "\"undo_nothing_left\""},
              {"undoes", "(none)"}}},
            "nothing left");
  EXPECT_EQ(fake.image, off);

  records = Records();
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[3].action, HistoryAction::Undo);
  EXPECT_EQ(records[3].undoes, records[1].id);
  EXPECT_EQ(records[4].undoes, records[0].id);
  EXPECT_EQ(records[4].result, HistoryResult::Done);
}

enum class Spoil { None, PutBack, FirstFormat, CopyDamaged, Unopenable, OtherParameter };

// Each row: a switch off→on (on→off for a parameter adapter), then what
// happened since; what undo says, and, when it points to --force, what a
// forced undo does. A forced undo writes only onto the adapter the copy was
// taken from; what it wrote is the adapter as it was before the switch.
TEST_F(Undo, RefusesWhatItCannotProveAndForceRestores) {
  const struct {
    const char* row;
    Spoil spoil;
    bool broadcom;
    const char* ends;   // the end of the failure; empty when undo undoes
    const char* record; // the "record" member of the refusal
    int forced;         // the forced undo's status; -1 for none
    const char* forcedEnds;
  } cases[] = {
      {"undone", Spoil::None, false, "", "(none)", -1, ""},
      {"image put back by another tool", Spoil::PutBack, false,
       "--force restores that write's copy; nothing written", "id", 0, ""},
      {"first format", Spoil::FirstFormat, false,
       "was recorded without digests, so undo cannot check it; --force restores its copy; "
       "nothing written",
       "null", 0, ""},
      {"copy damaged", Spoil::CopyDamaged, false, "; nothing written", "id", -1, ""},
      {"image does not open", Spoil::Unopenable, false,
       "the adapter's image does not open, and no recorded write left what it holds; restore "
       "FILE writes a copy you choose; nothing written",
       "(none)", -1, ""},
      {"parameter undone", Spoil::None, true, "", "(none)", -1, ""},
      {"another adapter's parameter", Spoil::OtherParameter, true,
       "--force restores that write's copy; nothing written", "id", 1,
       "; undo --force writes a change's copy only onto the adapter it was taken from; restore "
       "FILE --force writes a copy you choose; nothing written"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    DataFolderAt(c.row);
    fake.image = builder.image;
    if (c.broadcom)
      UseBroadcom(true);
    const std::vector<uint8_t> before = c.broadcom ? fake.param : fake.image;
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
    const std::vector<uint8_t> spoilt = c.broadcom ? fake.param : fake.image;
    const std::string id = JsonString(records[0].id);
    CtlOutput run = Run({"undo"});
    if (c.ends[0] == '\0') {
      ExpectRun(run, {0, {run.out.at(0), run.out.at(1)}, {}, {{"undoes", id}}}, c.row);
      EXPECT_EQ(c.broadcom ? fake.param : fake.image, before);
      continue;
    }
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.err.size(), 1u);
    const std::string& line = run.err[0];
    EXPECT_EQ(line.rfind("ostrelctl: ", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - std::min(line.size(), std::string(c.ends).size())), c.ends)
        << line;
    EXPECT_EQ(JsonMember(run.json, "record"), c.record == std::string("id") ? id : c.record);
    EXPECT_EQ(c.broadcom ? fake.param : fake.image, spoilt);
    if (c.forced < 0)
      continue;
    run = Run({"undo", "--force"});
    EXPECT_EQ(run.status, c.forced) << run.json;
    if (c.forced == 0) {
      EXPECT_EQ(JsonMember(run.json, "undoes"), c.spoil == Spoil::FirstFormat ? "null" : id);
      EXPECT_EQ(fake.image, before);
      continue;
    }
    EXPECT_EQ(JsonMember(run.json, "record"), id);
    ASSERT_EQ(run.err.size(), 1u);
    EXPECT_EQ(run.err[0].substr(run.err[0].size() - std::string(c.forcedEnds).size()),
              c.forcedEnds);
    EXPECT_EQ(fake.param, spoilt);
  }
}

} // namespace

namespace {

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
  const std::string cut =
      "ostrelctl: warning: a write by ostrelctl at " + on.time + " was cut short";
  ExpectRun(Run({"undo"}),
            {1,
             {"passed over: " + RecordName(on) +
              ": it wrote nothing; the adapter holds what it started from"},
             {cut, "ostrelctl: no change of this adapter is left to undo; nothing written"},
             {{"passed_over", "[" + JsonString(on.id) + "]"}}},
            "not taken");
  EXPECT_EQ(fake.image, builder.image);
  fake.image = sent;
  const CtlOutput run = Run({"undo"});
  ExpectRun(run, {0, run.out, {cut}, {{"passed_over", "[]"}, {"undoes", JsonString(on.id)}}},
            "taken");
  EXPECT_EQ(fake.image, builder.image);
}

} // namespace
