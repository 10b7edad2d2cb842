#pragma once
// Folders and the files in them, as the session keeps its copies and its
// history. On Windows every path is UTF-8 and may be of any length; elsewhere
// it is passed on as it is.
#include "files/WriteFile.h"

#include <string>
#include <vector>

// A path that names a folder where a file was meant, or the other way round:
// the helpers say so in these words, where the system would give a reason
// that misleads ("access denied", "cannot create a file that already exists").
constexpr const char* kIsADirectory = "is a directory";
constexpr const char* kNotADirectory = "not a directory";

// The separator the system's paths use between folder and name.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The names of the regular files directly in `folder` (no folders, no "." or
// ".."), in no particular order. A folder that does not exist lists no names
// and is no failure. False with `error` when it cannot be listed.
bool ListFiles(const std::string& folder, std::vector<std::string>& names, std::string& error);

// Removes the file `path`. A file that is already gone is no failure. False
// with `error` (kIsADirectory for a folder).
bool RemoveFile(const std::string& path, std::string& error);

// Gives the file `from` the name `to`, never over an existing file or folder:
// Exists then, and nothing changes. Written when renamed, Failed with `error`
// otherwise.
WriteFileResult RenameFile(const std::string& from, const std::string& to, std::string& error);

// Makes `folder` and every missing folder above it. An existing folder is no
// failure; a file in the way is (kNotADirectory).
bool MakeFolders(const std::string& folder, std::string& error);

#ifdef _WIN32
#include <windows.h>

inline bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
#endif
