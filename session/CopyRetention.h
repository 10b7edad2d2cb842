#pragma once
// The automatic copies: before every write the session saves what the adapter
// held as a backup file in the copies folder, named
// "20261208-072131-123_00b052000001.ostrel" (the time, for people to read,
// then the adapter: an image adapter's address, or "broadcom"). Which copy
// is whose, and which are old, the history says, never the names or the
// clock. The copies of an adapter's newest kCopiesKept changes not undone
// stay, whatever else the history holds, so that undo can go back that far;
// any other copy goes once its record has dropped out of its adapter's
// newest kCopiesKept records, or out of the history.

#include "powersave/PowerSaveCopy.h"
#include "session/ClockTime.h"
#include "session/History.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t kCopiesKept = 20;

// Which adapter `copy` is of, as its copies are named.
std::string CopyAdapterKey(const PowerSaveCopy& copy);
// Whether `name` is named as this program names its copies.
bool IsCopyName(const std::string& name);

// Saves `file` as a new copy of `key` in `folder`, made if missing, under a
// name no other file has. `path` gets its full path. False with `error`.
bool SaveAutoCopy(const std::string& folder, const ClockTime& now, const std::string& key,
                  const std::vector<uint8_t>& file, std::string& path, std::string& error,
                  HeldFileWait& wait = SleepingWait());

// The copies in `folder` that may go, given the history's records oldest
// first and those that just left it: those named by a record that left, or
// that is past its adapter's newest kCopiesKept records and is none of its
// newest kCopiesKept changes not undone, and named by no record that stays.
// A change is a write other than an undo that changed the adapter, or may
// have; it is undone once an undo that reached the adapter names it.
// `keep`, the copy just saved, never goes, nor does a file not named as a
// copy or not in `folder`.
std::vector<std::string> CopiesToRemove(const std::vector<HistoryRecord>& records,
                                        const std::vector<HistoryRecord>& dropped,
                                        const std::string& folder, const std::string& keep);
