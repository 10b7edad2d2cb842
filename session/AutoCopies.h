#pragma once
// The automatic copies: before every write the session saves what the adapter
// held as a backup file in %LOCALAPPDATA%\Ostrel\copies\, named
// "20261208-072131-123_00b052000001.ostrel" (UTC time to the millisecond, then
// the adapter: an image adapter's address, or "broadcom"), so that a folder's
// names sort by time and tell the adapters apart. The newest kCopiesKept of
// each adapter are kept; a file not named so is never touched.

#include "powersave/PowerSaveCopy.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t kCopiesKept = 20;

// %LOCALAPPDATA%\Ostrel, which holds the copies and the history, in UTF-8.
// False with `error` when the system does not say where it is.
bool OstrelDataFolder(std::string& folder, std::string& error);
// Makes `folder` and every folder above it that is missing.
bool MakeFolders(const std::string& folder, std::string& error);

// Which adapter `copy` is of, as its copies are named.
std::string CopyAdapterKey(const PowerSaveCopy& copy);

// Saves `file` as the newest copy of `key` in `folder`, then removes that
// adapter's copies past the newest kCopiesKept. `path` gets the new copy's
// full path. False with `error` when it was not saved.
bool SaveAutoCopy(const std::string& folder, const std::string& key,
                  const std::vector<uint8_t>& file, std::string& path, std::string& error);
// The full path of the newest copy of `key` in `folder`; false when there is none.
bool NewestAutoCopy(const std::string& folder, const std::string& key, std::string& path);
