#include "app/DialogText.h"

#include "session/RecordNames.h"

const char kDialogWaitingLine[] = "Waiting for another program that uses the adapter...";
const char kDialogSessionGoesOnLine[] =
    "The wait for the adapter ended for a logoff or shutdown that was then cancelled; nothing "
    "was done.";

std::string DialogModeLine(PowerSaveState state) {
  return std::string("The power save mode is ") + PowerSaveStateName(state) + "!";
}

std::string DialogResultLine(PowerSaveState target, WriteOutcome outcome) {
  return PowerSaveResultLine(target, WriteTook(outcome));
}

std::string DialogCutShortLine(const UnfinishedWrite& cut) {
  const std::string line = std::string("A write by ") + NameOf(cut.program) + " at " + cut.time;
  if (cut.identified)
    return line + " was cut short!";
  return line + " to " +
         (cut.address.empty() ? std::string("a Broadcom adapter") : "the adapter " + cut.address) +
         " was cut short; this adapter could not be identified as that one!";
}

std::string DialogUnkeptLine(const WriteUnkept& unkept) {
  if (!unkept.noCopy.empty())
    return "No automatic copy was saved before the write: " + unkept.noCopy;
  if (!unkept.noRecord.empty())
    return "The write is not in the history: " + unkept.noRecord;
  if (!unkept.movedTo.empty())
    return "The history was moved aside to " + unkept.movedTo + ": " + unkept.movedWhy;
  return "";
}

std::string DialogMovedLine(const std::string& movedFrom) {
  return "The copies and the history were moved from " + movedFrom +
         " to the folder LOCALAPPDATA names.";
}
