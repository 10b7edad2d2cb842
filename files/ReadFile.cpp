#include "files/ReadFile.h"

#include "files/Folder.h"

#ifdef _WIN32
#include "files/WideText.h"

#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Appends what `readSome(buffer, size, got)` gives until the end of the file
// or until `limit` + 1 bytes are in.
template <typename ReadSome>
bool ReadUpTo(std::size_t limit, std::vector<uint8_t>& bytes, ReadSome readSome) {
  bytes.clear();
  unsigned char chunk[4096];
  while (bytes.size() <= limit) {
    const std::size_t room = limit - bytes.size();
    std::size_t got = 0;
    if (!readSome(chunk, room < sizeof chunk ? room + 1 : sizeof chunk, got))
      return false;
    if (got == 0)
      break;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return true;
}

} // namespace

#ifdef _WIN32

bool ReadFileUpTo(const std::string& path, std::size_t limit, std::vector<uint8_t>& bytes,
                  std::string& error, bool* missing) {
  if (missing != nullptr)
    *missing = false;
  std::wstring wide;
  if (!WidePath(path, wide, error))
    return false;
  // Shared for deletion too, so that a writer may move a new file into place.
  HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (missing != nullptr)
      *missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    error = IsFolder(wide) ? kIsADirectory : SystemReason(code);
    return false;
  }
  const bool read =
      ReadUpTo(limit, bytes, [file](unsigned char* buffer, std::size_t size, std::size_t& got) {
        DWORD count = 0;
        const bool done = ::ReadFile(file, buffer, static_cast<DWORD>(size), &count, nullptr);
        got = count;
        return done;
      });
  if (!read)
    error = SystemReason(::GetLastError());
  ::CloseHandle(file);
  return read;
}

#else

bool ReadFileUpTo(const std::string& path, std::size_t limit, std::vector<uint8_t>& bytes,
                  std::string& error, bool* missing) {
  if (missing != nullptr)
    *missing = false;
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat status;
  if (file < 0 || ::fstat(file, &status) != 0) {
    if (missing != nullptr)
      *missing = errno == ENOENT;
    error = std::strerror(errno);
    if (file >= 0)
      ::close(file);
    return false;
  }
  if (S_ISDIR(status.st_mode)) {
    ::close(file);
    error = kIsADirectory;
    return false;
  }
  const bool read =
      ReadUpTo(limit, bytes, [file](unsigned char* buffer, std::size_t size, std::size_t& got) {
        ssize_t count;
        while ((count = ::read(file, buffer, size)) < 0 && errno == EINTR) {
        }
        got = count > 0 ? static_cast<std::size_t>(count) : 0;
        return count >= 0;
      });
  if (!read)
    error = std::strerror(errno);
  ::close(file);
  return read;
}

#endif
