#pragma once
// What one ostrelctl run found, and how it is said: lines for a person, or,
// with --json, one JSON object on standard output and nothing else there, for
// fleet tools. The commands decide the facts and word a failure; the two
// renderers alone decide every other word and every JSON member.

#include "session/History.h"
#include "session/WriteOutcome.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A JSON value, already written out.
struct JsonValue {
  std::string text;
};
JsonValue JsonText(std::string_view text);
JsonValue JsonBool(bool value);
JsonValue JsonNumber(uint64_t value);
JsonValue JsonNull();

// The adapter as status finds it.
struct CtlFound {
  std::string family;
  bool qca = false;
  bool recordUnread = false; // so nothing more is known
  std::string firmware;      // Qualcomm Atheros only
  std::string strategy;
  std::string powerSave;
};

// A copy saved as a backup file; an NVM image names its layout and address.
struct CtlSaved {
  std::string path;
  uint64_t bytes = 0;
  bool image = false;
  std::string layout;
  std::string address;
};

// A change undo passed over, and why.
struct CtlPassed {
  std::string name;
  std::string why;
  std::string id;
};

struct CtlResult {
  int status = 0;
  bool json = false;
  // Said on standard error before anything else: a write cut short, lines of
  // the history that are no records.
  std::vector<std::string> warnings;
  std::optional<CtlFound> found;
  std::optional<CtlSaved> saved;
  // Undo: the changes it passed over, once it has read the history.
  std::optional<std::vector<CtlPassed>> passedOver;
  // Undo: the record it undoes or refuses to, empty when the record has no
  // id; `undoTried` once the copy went to the write.
  std::optional<std::string> undoRecord;
  bool undoTried = false;
  // A write's lines about what it did not keep.
  std::vector<std::string> unkept;
  // on and off: the state asked for; `already` when the adapter had it.
  std::optional<PowerSaveState> target;
  bool already = false;
  // restore and undo: the copy's file.
  std::string restored;
  // The write, once one went ahead.
  std::optional<SessionWrite> write;
  std::optional<std::vector<HistoryRecord>> history;
  // The failure, said as "ostrelctl: error" or, `errorLine`, as it is.
  std::string error;
  bool errorLine = false;
  std::string usage; // after a usage error
  std::string movedFrom;
};

// A line for a person: on standard output, or a warning, the failure or the
// usage on standard error. The usage holds its own line ends. Warnings and
// the usage are said with --json too.
enum class CtlSay { Line, Warning, Failure, Usage };
struct CtlLine {
  CtlSay say;
  std::string text;
  bool operator==(const CtlLine& other) const { return say == other.say && text == other.text; }
};

// What a person reads, in the order it is said.
std::vector<CtlLine> CtlText(const CtlResult& result);
// The JSON object, with its line end.
std::string CtlJson(const CtlResult& result);
// Writes the result as asked: text, or the warnings on standard error and the
// object on standard output.
void CtlPrint(const CtlResult& result);
