#pragma once
// What one ostrelctl run found, and how it is said: lines for a person, or,
// with --json, one JSON object on standard output and nothing else there, for
// fleet tools. The commands decide the facts; the two renderers alone decide
// every word of them and every JSON member. (The lines about a stop are the
// console hold's, said when the stop comes.)

#include "session/AdapterSession.h"
#include "session/History.h"
#include "session/RecordNames.h"
#include "session/UndoPlan.h"
#include "session/WriteOutcome.h"

#include <cstddef>
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

// Why a run failed: each has its exit status (CtlExitStatus) and, in JSON,
// its name as `error_code`.
enum class CtlFailure {
  Usage,              // the command line is wrong
  File,               // a file cannot be read: the copy to restore, or the history
  LibraryNotLoaded,   // the device library did not load
  NoAdapter,          // no adapter of a known family is attached
  InUse,              // another program held the adapter for the whole wait
  Stopped,            // a stop came before anything was written
  RecordUnread,       // the adapter's device record cannot be read
  NoStrategy,         // no strategy serves the adapter's firmware
  StateUnreadable,    // the strategy cannot read the power-save state
  CopyRefused,        // the adapter's copy cannot be taken
  BackupExists,       // the backup file exists, and --replace was not given
  BackupUnsaved,      // the backup file cannot be written
  BackupRefused,      // the file to restore is no backup file this program takes
  SwitchRefused,      // the strategy or the adapter refused power save on or off
  RestoreRefused,     // the strategy or the adapter refused the copy
  ResetFailed,        // written, and the reset after it failed
  ReadBackDiffers,    // written, and the adapter holds something else
  ReadBackUnreadable, // written, and what the adapter holds cannot be read
  UndoUnread,         // what undo needs, the adapter's copy or the history, cannot be read
  UndoNothingLeft,    // no change of this adapter is left to undo
  UndoUnproven,       // nothing shows what the adapter holds
  UndoChanged,        // the adapter no longer holds what the last change left
  UndoUnchecked,      // the last change was recorded without digests
  UndoNotThisAdapter, // nothing shows that this is the adapter the change was made to
  UndoCopyUnread,     // the last change's copy cannot be read, or is not what it started from
  UndoForceRefused,   // forced, the copy was refused: it is not this adapter's
};
template <> struct EnumNames<CtlFailure> {
  static constexpr const char* kNames[] = {
      "usage",
      "file",
      "library_not_loaded",
      "no_adapter",
      "in_use",
      "stopped",
      "record_unread",
      "no_strategy",
      "state_unreadable",
      "copy_refused",
      "backup_exists",
      "backup_unsaved",
      "backup_refused",
      "switch_refused",
      "restore_refused",
      "reset_failed",
      "read_back_differs",
      "read_back_unreadable",
      "undo_unread",
      "undo_nothing_left",
      "undo_unproven",
      "undo_changed",
      "undo_unchecked",
      "undo_not_this_adapter",
      "undo_copy_unread",
      "undo_force_refused",
  };
};

// What a failed run left undone, said after why.
enum class CtlLeft { Unsaid, NothingWritten, NothingSaved };

// A failure: why, with the texts that came from outside: the wrong word, a
// file's or the strategy's refusal, the host's line; and the file it
// concerns.
struct CtlError {
  CtlFailure code = CtlFailure::Usage;
  std::string text;
  std::string path;
  CtlLeft left = CtlLeft::Unsaid;
};

// The adapter as status finds it.
struct CtlFound {
  AdapterFamily family = AdapterFamily::QualcommAtheros;
  bool recordUnread = false; // so nothing more is known
  std::string firmware;      // Qualcomm Atheros only
  std::string strategy;
  PowerSaveState powerSave = PowerSaveState::Unavailable;
};

// A copy saved as a backup file; an NVM image names its layout and address.
struct CtlSaved {
  std::string path;
  uint64_t bytes = 0;
  bool image = false;
  std::string layout;
  std::string address;
};

// A record of the history as undo names it.
struct CtlRecord {
  std::string id;
  std::string time;
  HistoryProgram program = HistoryProgram::Dialog;
  HistoryAction action = HistoryAction::On;
};
CtlRecord CtlRecordOf(const HistoryRecord& record);

// A change undo passed over, and why.
struct CtlPassed {
  CtlRecord record;
  UndoPassReason why;
};

// The history as the history command read it: its records, and what in the
// file was no record of this program's.
struct CtlHistory {
  std::string path;
  std::vector<HistoryRecord> records;
  std::string foreign;              // not a history this program reads: what it is
  std::vector<std::size_t> skipped; // lines that are no record
};

struct CtlResult {
  int status = 0;
  bool json = false;
  // A write found cut short: said on standard error before anything else.
  std::optional<UnfinishedWrite> cutShort;
  std::optional<CtlFound> found;
  std::optional<CtlSaved> saved;
  // Undo: the changes it passed over, once it has read the history.
  std::optional<std::vector<CtlPassed>> passedOver;
  // Undo: the record it undoes or refuses to; `undoTried` once the copy went
  // to the write.
  std::optional<CtlRecord> undoRecord;
  bool undoTried = false;
  // on and off: the state asked for; `already` when the adapter had it.
  std::optional<PowerSaveState> target;
  bool already = false;
  // restore and undo: the copy's file.
  std::string restored;
  // The write, once one went ahead.
  std::optional<SessionWrite> write;
  std::optional<CtlHistory> history;
  std::optional<CtlError> failure;
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
