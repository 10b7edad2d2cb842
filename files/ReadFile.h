#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads the file into `bytes`, but never more than `limit` + 1 bytes: a file
// larger than `limit` comes back one byte too long, so that the caller can say
// so. False with `error` set when the file cannot be opened or read: the
// system's reason, or "is a directory" for a folder. On Windows `path` is UTF-8
// and may be of any length; elsewhere it is passed on as it is. `missing`, when
// given, tells whether it failed because no file has that name, also when a
// folder on its way does not exist.
bool ReadFileUpTo(const std::string& path, std::size_t limit, std::vector<uint8_t>& bytes,
                  std::string& error, bool* missing = nullptr);
