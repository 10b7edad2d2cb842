#include "files/ReadFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool ReadFileUpTo(const std::string& path, std::size_t limit, std::vector<uint8_t>& bytes,
                  std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  bytes.clear();
  unsigned char chunk[4096];
  std::size_t got;
  while (bytes.size() <= limit) {
    const std::size_t room = limit - bytes.size();
    if ((got = std::fread(chunk, 1, room < sizeof chunk ? room + 1 : sizeof chunk, file)) == 0)
      break;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed)
    error = "read error";
  return !failed;
}
