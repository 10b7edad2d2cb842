#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class WriteFileResult { Written, Exists, Failed };

// Writes `bytes` to a temporary file with a unique name in the same folder,
// flushes it to disk, then moves it into place: over an existing file only
// when `replace` is true, otherwise Exists and nothing changes. Nothing is left
// behind on failure, and no other file is touched. On Windows a replaced file
// keeps its security, streams and creation time, and a target that another
// program holds open is tried again for about five seconds. `error` says why on Failed:
// the system's reason, or "is a directory" when `path` names a folder. On
// Windows `path` is UTF-8 and may be of any length; elsewhere it is passed on as
// it is.
WriteFileResult WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes,
                               bool replace, std::string& error);
