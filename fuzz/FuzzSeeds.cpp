// Writes the seed corpus of every fuzz target, made by the image builder and
// the history's writer, into DIR/<target>/.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "backup/BackupFile.h"
#include "bytes/LittleEndian.h"
#include "nvm/NvmHeader.h"
#include "nvm/NvmImageBuilder.h"
#include "nvm/PibView.h"
#include "session/ContentDigest.h"
#include "session/History.h"

namespace {

bool Save(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  const std::string path = dir + "/" + name;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::perror(path.c_str());
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written;
}

struct Layout {
  const char* name;
  const PibLayout& layout;
};

const Layout kLayouts[] = {
    {"7420-1.3", kPibLayout74201D3}, {"7420-1.4", kPibLayout74201D4}, {"7500", kPibLayout7500}};

// A backup file of every layout's image, and one of a parameter.
bool SaveBackupSeeds(const std::string& dir) {
  bool ok = true;
  for (const Layout& source : kLayouts) {
    NvmImageBuilder built(source.layout, true);
    BackupCopy copy;
    copy.layout = source.name;
    copy.firmware = "INT7420-MAC-1.1.3";
    std::copy_n(built.Pib() + kPibDeviceBlock, kPibAddressSize, copy.address);
    copy.bytes = built.image;
    ok = ok && Save(dir, source.name, BackupEncode(copy));
  }
  BackupCopy param;
  param.kind = BackupKind::Param41;
  param.bytes.assign(1500, 0x41);
  return ok && Save(dir, "param41", BackupEncode(param));
}

// A write to the image adapter, with what every record of it shares.
HistoryRecord Change(HistoryAction action, PowerSaveState before, PowerSaveState after,
                     HistoryResult result) {
  HistoryRecord record;
  record.time = "2026-12-08T07:21:31Z";
  record.program = HistoryProgram::Dialog;
  record.action = action;
  record.family = AdapterFamily::QualcommAtheros;
  record.address = "00:b0:52:00:00:01";
  record.firmware = "INT7420-MAC-1.1.3";
  record.before = before;
  record.after = after;
  record.result = result;
  return record;
}

// The digest of eight bytes of `value`: what the fuzzed adapter holds
// (FuzzUndoPlan.cpp), and what the seeds' writes of eight bytes cover.
std::string Held(uint8_t value) {
  const std::vector<uint8_t> content(8, value);
  return ContentDigest(BackupKind::NvmImage, content.data(), 8);
}

// A record in the line of an earlier format: its tag and its first fields.
std::string OlderLine(const HistoryRecord& record, HistoryFormat format) {
  std::string line = HistoryTag(format);
  for (std::size_t i = 0; i < HistoryFieldCount(format); ++i)
    line += "\t" + kHistoryFields[i].text(record);
  return line;
}

// A write of the third format: its eight bytes' digests before, sent and
// after ('\0' for none).
void Covers(HistoryRecord& record, uint8_t before, uint8_t sent, uint8_t after) {
  record.length = 8;
  record.beforeSha256 = Held(before);
  record.sentSha256 = Held(sent);
  record.afterSha256 = after != 0 ? Held(after) : "";
}

// The lines of a history as the writers write them: one adapter's changes,
// one undone, the newest cut short, between another adapter's line of the
// first format, a parameter adapter's change and a person's note. The oldest
// change is of the second format.
std::vector<std::string> HistoryLines() {
  HistoryRecord firstFormat =
      Change(HistoryAction::Off, PowerSaveState::On, PowerSaveState::Off, HistoryResult::Done);
  firstFormat.time = "2025-03-01T10:00:00Z";
  firstFormat.address = "00:b0:52:00:00:02";

  HistoryRecord turnedOff =
      Change(HistoryAction::Off, PowerSaveState::On, PowerSaveState::Off, HistoryResult::Done);
  turnedOff.copy = "C:\\Users\\ann\\AppData\\Local\\Ostrel\\copies\\20261208-072131-123.ostrel";
  turnedOff.id = "20261208-072131-123";
  turnedOff.beforeSha256 = Held('N');
  turnedOff.afterSha256 = Held('F');

  HistoryRecord param =
      Change(HistoryAction::On, PowerSaveState::Off, PowerSaveState::On, HistoryResult::Unverified);
  param.program = HistoryProgram::Ctl;
  param.family = AdapterFamily::Broadcom;
  param.address.clear();
  param.firmware = "BCM-CMM-2.0";
  param.id = "20261208-080000-001";
  Covers(param, '0', '1', '1');

  HistoryRecord turnedOn =
      Change(HistoryAction::On, PowerSaveState::Off, PowerSaveState::On, HistoryResult::Done);
  turnedOn.program = HistoryProgram::Ctl;
  turnedOn.id = "20261208-090000-000";
  Covers(turnedOn, 'F', 'N', 'N');

  HistoryRecord undo =
      Change(HistoryAction::Undo, PowerSaveState::On, PowerSaveState::Off, HistoryResult::Done);
  undo.id = "20261208-091500-000";
  undo.undoes = turnedOn.id;
  Covers(undo, 'N', 'F', 'F');

  HistoryRecord started =
      Change(HistoryAction::On, PowerSaveState::Off, PowerSaveState::On, HistoryResult::Started);
  started.id = "20261209-120000-000";
  Covers(started, 'F', 'N', 0);

  return {OlderLine(firstFormat, HistoryFormat::First),
          OlderLine(turnedOff, HistoryFormat::Second),
          HistoryLine(param),
          HistoryLine(turnedOn),
          HistoryLine(undo),
          "# Ann: switched back for the lab \xc3\xa9 \xe2\x82\xac",
          HistoryLine(started)};
}

std::vector<uint8_t> Joined(const std::vector<std::string>& lines, const std::string& end,
                            bool byteOrderMark = false) {
  std::string text = byteOrderMark ? "\xEF\xBB\xBF" : "";
  for (const std::string& line : lines)
    text += line + end;
  return {text.begin(), text.end()};
}

// The history with each line end, with a byte order mark, and with mixed ends
// and none after the last line. For undo it follows the bytes that say what
// the adapter holds now (FuzzUndoPlan.cpp): whose records, by index (the
// first-format line, the change undone to, the parameter adapter's, the change
// undone, the undo and the write cut short), and what it holds.
bool SaveHistorySeeds(const std::string& scanDir, const std::string& undoDir) {
  const std::vector<std::string> lines = HistoryLines();
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } histories[] = {
      {"crlf", Joined(lines, "\r\n")},
      {"lf", Joined(lines, "\n")},
      {"cr", Joined(lines, "\r")},
      {"bom_crlf", Joined(lines, "\r\n", true)},
      {"mixed", Joined({lines[0] + "\r\n" + lines[1] + "\n" + lines[2] + "\r" + lines[3] + "\r\n" +
                        lines[4] + "\n" + lines[5] + "\r" + lines[6]},
                       "")},
  };
  const struct {
    const char* name;
    uint8_t adapter, holds, flags;
  } presents[] = {
      {"undo_to_off", 1, 'F', 0},      // the cut write took nothing: undoes the first change
      {"address_unknown", 1, 'F', 2},  // the image does not open
      {"byte_beyond", 1, 'F', 1},      // a byte past the writes: the second format sees it
      {"cut_short_sent", 1, 'N', 0},   // holds what the cut write sent: undoes it
      {"unknown_content", 1, 'Z', 0},  // holds what no record left: refused
      {"first_format", 0, 'F', 0},     // the adapter whose only change is of the first format
      {"param", 2, '1', 0},            // the parameter adapter's own change
      {"param_taken_back", 2, '0', 0}, // holds what its change started from: refused
  };
  bool ok = true;
  for (const auto& history : histories) {
    ok = ok && Save(scanDir, history.name, history.bytes);
    for (const auto& present : presents) {
      std::vector<uint8_t> input = {present.adapter, present.holds, present.flags};
      input.insert(input.end(), history.bytes.begin(), history.bytes.end());
      ok = ok && Save(undoDir, std::string(history.name) + "_" + present.name, input);
    }
  }
  return ok;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ostrel_fuzz_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = true;
  for (const Layout& target : kLayouts) {
    const std::string pibDir = dir + "/fuzz_pib_open_" + target.name;
    for (const Layout& source : kLayouts) {
      for (bool on : {false, true}) {
        const std::string name = std::string(source.name) + (on ? "_on" : "_off");
        ok = ok && Save(pibDir, name, NvmImageBuilder(source.layout, on).image);
      }
    }
    ok = ok && Save(pibDir, "far_pib_header", NvmImageBuilder(target.layout, true, 4096).image);

    NvmImageBuilder edited(target.layout, true);
    edited.Pib()[100] ^= 0x5A;
    ok = ok && Save(dir + "/fuzz_nvm_update_verify", target.name, edited.image);
  }

  // Headers at 0 and 8, each with an empty image. Renewing the second's image
  // checksum ends the first's chain, so the updated buffer alone hides that
  // the headers overlap.
  std::vector<uint8_t> overlapping(128);
  WriteLe32(overlapping.data() + kNvmNextHeader, 8);
  WriteLe32(overlapping.data() + 8 + kNvmNextHeader, kNvmChainEnd);
  ok = ok && Save(dir + "/fuzz_nvm_update_verify", "overlapping_headers", overlapping);

  // The range of the first image of a built image, then the buffer.
  const NvmImageBuilder built(kPibLayout74201D4, true);
  for (uint32_t type : {2u, 3u, 7u}) {
    std::vector<uint8_t> input(12);
    WriteLe32(input.data(), type);
    WriteLe32(input.data() + 4, ReadLe32(built.image.data() + 8));
    WriteLe32(input.data() + 8, ReadLe32(built.image.data() + 16));
    input.insert(input.end(), built.image.begin(), built.image.begin() + 512);
    ok = ok && Save(dir + "/fuzz_nvm_find_entry", "type" + std::to_string(type), input);
  }
  ok = ok && SaveBackupSeeds(dir + "/fuzz_backup_decode");
  ok = ok && SaveHistorySeeds(dir + "/fuzz_history_scan", dir + "/fuzz_undo_plan");
  return ok ? 0 : 1;
}
