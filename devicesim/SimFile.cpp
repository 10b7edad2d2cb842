#include "devicesim/SimFile.h"

#include "files/ReadFile.h"
#include "files/WriteFile.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

std::string SimNativePath(const std::string& path) {
#ifdef _WIN32
  if (!path.empty() && path[0] == '/')
    return "Z:" + path;
#endif
  return path;
}

std::string SimFolderOf(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool SimFileExists(const std::string& path) {
  std::FILE* file = std::fopen(SimNativePath(path).c_str(), "rb");
  if (file == nullptr)
    return false;
  std::fclose(file);
  return true;
}

bool SimReadFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::string error;
  return ReadFileUpTo(SimNativePath(path), SIZE_MAX, bytes, error);
}

bool SimReplaceFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::string error;
  return WriteFileWhole(SimNativePath(path), bytes, true, error) == WriteFileResult::Written;
}

bool SimAppendTraceLine(const std::string& path, const std::string& line) {
#ifdef _WIN32
  const unsigned long processId = ::GetCurrentProcessId();
#else
  const unsigned long processId = static_cast<unsigned long>(::getpid());
#endif
  std::FILE* file = std::fopen(SimNativePath(path).c_str(), "ab");
  if (file == nullptr)
    return false;
  const std::string text = "[" + std::to_string(processId) + "] " + line + "\n";
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}
