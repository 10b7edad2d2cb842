#pragma once
// A path that names a folder: the reader and the writer say so in these
// words, where the system would give a reason that misleads ("access denied").

constexpr const char* kIsADirectory = "is a directory";

#ifdef _WIN32
#include <windows.h>

#include <string>

inline bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
#endif
