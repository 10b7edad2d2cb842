#include "files/Folder.h"

#ifdef _WIN32
#include "files/WideText.h"

#include <windows.h>
#else
#include <cerrno>
#include <cstdio> // RENAME_NOREPLACE
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#ifdef _WIN32

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// The end of the name that starts at `from`.
std::size_t NameEnd(const std::string& path, std::size_t from) {
  const std::size_t end = path.find_first_of("\\/", from);
  return end == std::string::npos ? path.size() : end;
}

// How much of `path` names the drive or share it is on: "C:", "\\server\share"
// and their long forms "\\?\C:", "\\?\UNC\server\share". No folder is made
// above it; a share's server is no folder at all.
std::size_t RootLength(const std::string& path) {
  if (path.compare(0, 8, "\\\\?\\UNC\\") == 0)
    return NameEnd(path, NameEnd(path, 8) + 1);
  if (path.compare(0, 4, "\\\\?\\") == 0 || path.compare(0, 4, "\\\\.\\") == 0)
    return NameEnd(path, 4);
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
    return NameEnd(path, NameEnd(path, 2) + 1);
  return path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

} // namespace

bool ListFiles(const std::string& folder, std::vector<std::string>& names, std::string& error) {
  names.clear();
  std::wstring wide;
  std::wstring pattern;
  if (!WidePath(folder, wide, error) || !WidePath(folder + "\\*", pattern, error))
    return false;
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    // The folder itself says what finding nothing means: it is missing, it is
    // a file, or it is an empty drive's root, which has no "." to find.
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD missing = ::GetLastError();
      if (missing == ERROR_FILE_NOT_FOUND || missing == ERROR_PATH_NOT_FOUND)
        return true;
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      error = kNotADirectory;
      return false;
    } else if (code == ERROR_FILE_NOT_FOUND) {
      return true;
    }
    error = SystemReason(code);
    return false;
  }
  do {
    // A name that UTF-8 cannot carry would come back as another file's.
    std::string name;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        Utf8FromWideExactly(found.cFileName, name))
      names.push_back(name);
  } while (::FindNextFileW(search, &found));
  const DWORD code = ::GetLastError();
  ::FindClose(search);
  if (code == ERROR_NO_MORE_FILES)
    return true;
  names.clear();
  error = SystemReason(code);
  return false;
}

bool RemoveFile(const std::string& path, std::string& error) {
  std::wstring wide;
  if (!WidePath(path, wide, error))
    return false;
  if (::DeleteFileW(wide.c_str()))
    return true;
  const DWORD code = ::GetLastError();
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
    return true;
  error = IsFolder(wide) ? kIsADirectory : SystemReason(code);
  return false;
}

WriteFileResult RenameFile(const std::string& from, const std::string& to, std::string& error) {
  std::wstring source;
  std::wstring target;
  if (!WidePath(from, source, error) || !WidePath(to, target, error))
    return WriteFileResult::Failed;
  if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
    return WriteFileResult::Written;
  const DWORD code = ::GetLastError();
  if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
    return WriteFileResult::Exists;
  error = SystemReason(code);
  return WriteFileResult::Failed;
}

bool MakeFolders(const std::string& folder, std::string& error) {
  std::wstring wide;
  if (!WidePath(folder, wide, error))
    return false;
  if (::CreateDirectoryW(wide.c_str(), nullptr))
    return true;
  DWORD code = ::GetLastError();
  const std::size_t parent = folder.find_last_of("\\/");
  if (code == ERROR_PATH_NOT_FOUND && parent != std::string::npos && parent > RootLength(folder)) {
    if (!MakeFolders(folder.substr(0, parent), error))
      return false;
    if (::CreateDirectoryW(wide.c_str(), nullptr))
      return true;
    code = ::GetLastError();
  }
  // Made by another program meanwhile, or a drive's root, which refuses to be
  // made even though it is there.
  if (IsFolder(wide))
    return true;
  error =
      code == ERROR_ALREADY_EXISTS || code == ERROR_DIRECTORY ? kNotADirectory : SystemReason(code);
  return false;
}

#else

bool ListFiles(const std::string& folder, std::vector<std::string>& names, std::string& error) {
  names.clear();
  DIR* const listing = ::opendir(folder.c_str());
  if (listing == nullptr) {
    if (errno == ENOENT)
      return true;
    error = errno == ENOTDIR ? kNotADirectory : std::strerror(errno);
    return false;
  }
  for (;;) {
    errno = 0;
    const dirent* const entry = ::readdir(listing);
    if (entry == nullptr)
      break;
    // Some file systems leave the type to be asked for.
    struct stat status;
    if (entry->d_type == DT_REG ||
        (entry->d_type == DT_UNKNOWN &&
         ::fstatat(::dirfd(listing), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISREG(status.st_mode)))
      names.push_back(entry->d_name);
  }
  const int code = errno;
  ::closedir(listing);
  if (code == 0)
    return true;
  names.clear();
  error = std::strerror(code);
  return false;
}

bool RemoveFile(const std::string& path, std::string& error) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT)
    return true;
  const int code = errno;
  struct stat status;
  error = ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) ? kIsADirectory
                                                                        : std::strerror(code);
  return false;
}

WriteFileResult RenameFile(const std::string& from, const std::string& to, std::string& error) {
  // rename would replace `to`; link, like the rename below, refuses it.
  if (::link(from.c_str(), to.c_str()) == 0) {
    if (::unlink(from.c_str()) == 0)
      return WriteFileResult::Written;
    error = std::strerror(errno);
    ::unlink(to.c_str());
    return WriteFileResult::Failed;
  }
  int code = errno;
#if defined(SYS_renameat2) && defined(RENAME_NOREPLACE)
  // A file system without hard links may still rename without replacing; one
  // that cannot either leaves link's reason standing.
  if (code == EPERM || code == EOPNOTSUPP) {
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) ==
        0)
      code = 0;
    else if (errno != EINVAL && errno != ENOSYS)
      code = errno;
  }
#endif
  if (code == 0)
    return WriteFileResult::Written;
  if (code == EEXIST)
    return WriteFileResult::Exists;
  error = std::strerror(code);
  return WriteFileResult::Failed;
}

bool MakeFolders(const std::string& folder, std::string& error) {
  if (::mkdir(folder.c_str(), 0777) == 0)
    return true;
  int code = errno;
  const std::size_t parent = folder.find_last_of('/');
  if (code == ENOENT && parent != std::string::npos && parent > 0) {
    if (!MakeFolders(folder.substr(0, parent), error))
      return false;
    if (::mkdir(folder.c_str(), 0777) == 0)
      return true;
    code = errno;
  }
  // Made by another program meanwhile, or "/".
  struct stat status;
  if (::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
    return true;
  error = code == EEXIST || code == ENOTDIR ? kNotADirectory : std::strerror(code);
  return false;
}

#endif
