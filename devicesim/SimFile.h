#pragma once
// File access for the simulated adapter's state files.

#include <cstdint>
#include <string>
#include <vector>

// Under Wine a Unix absolute path names drive Z:.
std::string SimNativePath(const std::string& path);

// The folder part of `path`, or "" when it has none.
std::string SimFolderOf(const std::string& path);

bool SimFileExists(const std::string& path);
bool SimReadFile(const std::string& path, std::vector<uint8_t>& bytes);

// Replaces the file whole (write a temporary file of its own, then rename).
bool SimReplaceFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Appends one line to the trace file, after the calling process's id, so that
// the calls of several programs sharing one adapter can be told apart:
// "[1234] WriteLocalPIB 16384 1".
bool SimAppendTraceLine(const std::string& path, const std::string& line);
