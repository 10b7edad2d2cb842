#include "files/WriteFile.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Temporary names carry the process id and a per-process counter, so that two
// writers of one file, in one process or in two, never share one; a name that
// is taken all the same (a crashed writer's leftover) is passed over.
constexpr int kNameAttempts = 100;
std::atomic<unsigned> g_temporaries{0};

std::string TemporaryName(const std::string& path, unsigned long processId) {
  return path + "." + std::to_string(processId) + "-" + std::to_string(g_temporaries++) + ".tmp";
}

#ifdef _WIN32

std::string SystemReason(DWORD code) {
  char text[256];
  DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == ' ' || text[length - 1] == '.'))
    --length;
  return length > 0 ? std::string(text, length) : "system error " + std::to_string(code);
}

bool WriteAll(HANDLE file, const std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t left = bytes.size() - done;
    const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
    DWORD wrote = 0;
    if (!::WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr))
      return false;
    if (wrote == 0) {
      ::SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    done += wrote;
  }
  return true;
}

// Another writer's move, or a reader that has the old file open, keeps the
// target from being replaced for a moment: wait a little and try again.
constexpr int kMoveAttempts = 50;
constexpr DWORD kMoveWaitMs = 10;

DWORD MoveIntoPlace(const std::string& from, const std::string& to, bool replace) {
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  for (int attempt = 1;; ++attempt) {
    if (::MoveFileExA(from.c_str(), to.c_str(), flags))
      return ERROR_SUCCESS;
    const DWORD code = ::GetLastError();
    if ((code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION) ||
        attempt == kMoveAttempts)
      return code;
    ::Sleep(kMoveWaitMs);
  }
}

} // namespace

WriteFileResult WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes,
                               bool replace, std::string& error) {
  std::string temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < kNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = TemporaryName(path, ::GetCurrentProcessId());
    file = ::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
      break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    error = SystemReason(::GetLastError());
    return WriteFileResult::Failed;
  }
  const bool written = WriteAll(file, bytes) && ::FlushFileBuffers(file);
  DWORD code = written ? ERROR_SUCCESS : ::GetLastError();
  if (!::CloseHandle(file) && code == ERROR_SUCCESS)
    code = ::GetLastError();
  if (code == ERROR_SUCCESS)
    code = MoveIntoPlace(temporary, path, replace);
  if (code == ERROR_SUCCESS)
    return WriteFileResult::Written;
  ::DeleteFileA(temporary.c_str());
  if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
    return WriteFileResult::Exists;
  error = SystemReason(code);
  return WriteFileResult::Failed;
}

#else

bool WriteAll(int file, const std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(file, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR)
      continue;
    if (wrote == 0)
      errno = EIO;
    if (wrote <= 0)
      return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

// The new name lives in the folder's entry, which needs a flush of its own. The
// file is in place by then, so a failure here is not the write's failure.
void FlushFolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle >= 0) {
    ::fsync(handle);
    ::close(handle);
  }
}

} // namespace

WriteFileResult WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes,
                               bool replace, std::string& error) {
  // Not mkstemp: its files are private to the owner, and the file that takes
  // the old one's place should have the mode any new file gets.
  std::string temporary;
  int file = -1;
  for (int attempt = 0; attempt < kNameAttempts && file < 0; ++attempt) {
    temporary = TemporaryName(path, static_cast<unsigned long>(::getpid()));
    file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file < 0 && errno != EEXIST)
      break;
  }
  if (file < 0) {
    error = std::strerror(errno);
    return WriteFileResult::Failed;
  }
  int code = WriteAll(file, bytes) && ::fsync(file) == 0 ? 0 : errno;
  if (::close(file) != 0 && code == 0)
    code = errno;
  // Without replace a second name is linked: link, unlike rename, refuses an
  // existing target.
  if (code == 0 && (replace ? ::rename(temporary.c_str(), path.c_str())
                            : ::link(temporary.c_str(), path.c_str())) != 0)
    code = errno;
  if (code != 0 || !replace)
    ::unlink(temporary.c_str());
  if (code == 0) {
    FlushFolderOf(path);
    return WriteFileResult::Written;
  }
  if (code == EEXIST)
    return WriteFileResult::Exists;
  error = std::strerror(code);
  return WriteFileResult::Failed;
}

#endif
