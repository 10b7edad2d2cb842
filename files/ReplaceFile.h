#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Replaces the file whole: writes a temporary file beside it, then renames it
// over the old one, so an interrupted write never leaves half a file.
bool ReplaceFileWhole(const std::string& path, const std::vector<uint8_t>& bytes);
