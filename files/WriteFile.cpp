#include "files/WriteFile.h"

#include "files/Folder.h"

#include <atomic>
#include <chrono>
#include <thread>

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

// Temporary names carry the process id and a per-process counter, so that two
// writers of one file, in one process or in two, never share one; a name that
// is taken all the same (a crashed writer's leftover) is passed over.
constexpr int kNameAttempts = 100;
std::atomic<unsigned> g_temporaries{0};

// A name may hold 255 characters (UTF-16 units on Windows, bytes elsewhere);
// the target's name is shortened to leave room for the suffix, never inside a
// UTF-8 sequence. 255 bytes are never more than 255 UTF-16 units.
constexpr std::size_t kMaxName = 255;

std::string TemporaryName(const std::string& path, unsigned long processId) {
#ifdef _WIN32
  const std::size_t slash = path.find_last_of("/\\");
#else
  const std::size_t slash = path.find_last_of('/');
#endif
  const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  const std::string suffix =
      "." + std::to_string(processId) + "-" + std::to_string(g_temporaries++) + ".tmp";
  std::size_t end = path.size();
  if (end - name > kMaxName - suffix.size()) {
    end = name + (kMaxName - suffix.size());
    while (end > name && (static_cast<unsigned char>(path[end]) & 0xC0) == 0x80)
      --end;
  }
  return path.substr(0, end) + suffix;
}

} // namespace

std::string RestoreName(const std::string& path) {
  return path + ".restore";
}

PutBack DecidePutBack(bool aside, bool movedBack, bool targetTaken, bool timeLeft) {
  if (!aside || movedBack)
    return PutBack::Done;
  if (targetTaken)
    return PutBack::DropAside;
  return timeLeft ? PutBack::TryAgain : PutBack::KeepAsRestore;
}

namespace {

#ifdef _WIN32

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

// Another writer's replace, or a program that has the old file open, keeps
// the target from being replaced for a moment: wait a little and try again,
// for about five seconds in all.
constexpr ULONGLONG kRetryForMs = 5000;
constexpr DWORD kRetryWaitMs = 10;

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD Move(const std::wstring& from, const std::wstring& to, bool replace) {
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  return ::MoveFileExW(from.c_str(), to.c_str(), flags) ? ERROR_SUCCESS : ::GetLastError();
}

// ReplaceFileW keeps the target's ACL, streams and creation time, which a move
// over it would drop. It cannot write through. Without a backup name a failed
// replace may leave the old file gone or under a name nobody knows; with one,
// the old file is under that name or its own, or, when it cannot go back for
// as long as a held file is waited for, under `restore` (then `keptAside`).
DWORD Replace(const std::wstring& from, const std::wstring& to, const std::wstring& backup,
              const std::wstring& restore, HeldFileWait& wait, bool& keptAside) {
  if (::ReplaceFileW(to.c_str(), from.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr))
    return ERROR_SUCCESS;
  const DWORD code = ::GetLastError();
  // ERROR_UNABLE_TO_MOVE_REPLACEMENT_2: the old file was moved aside and the
  // new one did not take its place. Put it back, unless another writer's whole
  // file has taken the name meanwhile.
  const ULONGLONG start = ::GetTickCount64();
  for (;;) {
    const bool aside = Exists(backup);
    const bool movedBack =
        aside && ::MoveFileExW(backup.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH);
    switch (DecidePutBack(aside, movedBack, Exists(to), ::GetTickCount64() - start < kRetryForMs)) {
    case PutBack::Done:
      return code;
    case PutBack::DropAside:
      ::DeleteFileW(backup.c_str());
      return code;
    case PutBack::TryAgain:
      wait.WaitForHeldFile(kRetryWaitMs);
      break;
    case PutBack::KeepAsRestore:
      keptAside = ::MoveFileExW(backup.c_str(), restore.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
      return code;
    }
  }
}

// A failure that another program's hold on the target, or another writer's
// replace half done, explains; any of them leaves the target whole.
bool IsMomentary(DWORD code, bool replacing) {
  switch (code) {
  case ERROR_ACCESS_DENIED:
  case ERROR_SHARING_VIOLATION:
    return true;
  case ERROR_FILE_NOT_FOUND: // Wine's word for a target held open
  case ERROR_UNABLE_TO_REMOVE_REPLACED:
  case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
  case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
    return replacing;
  default:
    return false;
  }
}

// An existing target is replaced in place; a new one, or one that another
// writer's replace has just moved aside, is moved to.
DWORD PutInPlace(const std::wstring& from, const std::wstring& to, bool replace,
                 const std::wstring& backup, const std::wstring& restore, HeldFileWait& wait,
                 bool& keptAside) {
  const ULONGLONG start = ::GetTickCount64();
  for (;;) {
    const bool replacing = replace && Exists(to);
    const DWORD code =
        replacing ? Replace(from, to, backup, restore, wait, keptAside) : Move(from, to, replace);
    if (code == ERROR_SUCCESS) {
      // The old file, when a replace or a failed one left it there.
      if (replace)
        ::DeleteFileW(backup.c_str());
      return code;
    }
    if (keptAside || !IsMomentary(code, replacing) || ::GetTickCount64() - start >= kRetryForMs)
      return code;
    wait.WaitForHeldFile(kRetryWaitMs);
  }
}

// A name beside the target that no file has, for ReplaceFileW's backup.
bool FreeName(const std::string& path, std::wstring& name, std::string& error) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    if (!WidePath(TemporaryName(path, ::GetCurrentProcessId()), name, error))
      return false;
    if (!Exists(name))
      return true;
  }
  error = SystemReason(ERROR_FILE_EXISTS);
  return false;
}

} // namespace

WriteFileResult WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes,
                               bool replace, std::string& error, HeldFileWait& wait) {
  std::wstring target;
  if (!WidePath(path, target, error))
    return WriteFileResult::Failed;
  // A folder would refuse the move only after the whole file is written, and
  // then as "access denied".
  if (IsFolder(target)) {
    error = kIsADirectory;
    return WriteFileResult::Failed;
  }
  // Not retried as a held file is: the attribute stays until a person clears it.
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (replace && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    error = "it is read-only";
    return WriteFileResult::Failed;
  }
  std::wstring backup, restore;
  if (replace && (!FreeName(path, backup, error) || !WidePath(RestoreName(path), restore, error)))
    return WriteFileResult::Failed;
  std::wstring temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < kNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
    if (!WidePath(TemporaryName(path, ::GetCurrentProcessId()), temporary, error))
      return WriteFileResult::Failed;
    file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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
  bool keptAside = false;
  if (code == ERROR_SUCCESS)
    code = PutInPlace(temporary, target, replace, backup, restore, wait, keptAside);
  if (code == ERROR_SUCCESS)
    return WriteFileResult::Written;
  ::DeleteFileW(temporary.c_str());
  if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
    return WriteFileResult::Exists;
  error = IsFolder(target) ? kIsADirectory : SystemReason(code);
  if (keptAside)
    error += "; its old content is in " + RestoreName(path);
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
                             : slash == 0 ? "/"
                                          : path.substr(0, slash);
  const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle >= 0) {
    ::fsync(handle);
    ::close(handle);
  }
}

} // namespace

WriteFileResult WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes,
                               bool replace, std::string& error, HeldFileWait&) {
  // A folder would refuse the move only after the whole file is written, and
  // link would call it an existing file.
  struct stat status;
  if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
    error = kIsADirectory;
    return WriteFileResult::Failed;
  }
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

HeldFileWait& SleepingWait() {
  struct Sleeping final : HeldFileWait {
    void WaitForHeldFile(unsigned ms) override {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
  };
  static Sleeping sleeping;
  return sleeping;
}
