#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class WriteFileResult { Written, Exists, Failed };

// How a write waits before it tries a target that another program holds
// again. A program that writes on its window's thread reads the thread's
// messages meanwhile.
class HeldFileWait {
public:
  virtual void WaitForHeldFile(unsigned ms) = 0;

protected:
  ~HeldFileWait() = default;
};

// A wait that sleeps.
HeldFileWait& SleepingWait();

// Writes `bytes` to a temporary file with a unique name in the same folder,
// flushes it to disk, then moves it into place: over an existing file only when
// `replace` is true, otherwise Exists and nothing changes. Nothing is left
// behind on failure, and no other file is touched. On Windows a replaced file
// keeps its security, streams and creation time, and a target that another
// program holds open is tried again for about five seconds, while one with the
// read-only attribute is refused at once; `wait` waits between the tries. When
// the old file cannot be put back under its name after a failed replace, it is
// left under RestoreName(path) and `error` names that file. `error` says why on
// Failed: the system's reason, or "is a directory" when `path` names a folder.
// On Windows `path` is UTF-8 and may be of any length; elsewhere it is passed
// on as it is.
WriteFileResult WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes,
                               bool replace, std::string& error,
                               HeldFileWait& wait = SleepingWait());

// Where a replace that failed leaves the old content when it cannot put it
// back under its own name; readers of a file that is missing look there.
std::string RestoreName(const std::string& path);

// After a failed replace moved the old file aside: what to do with it.
enum class PutBack {
  Done,         // nothing aside, or it is back under its name
  DropAside,    // another writer's whole file has the name now: the aside copy is stale
  TryAgain,     // a program holds the name for a moment
  KeepAsRestore // out of time: the old content goes to RestoreName
};
PutBack DecidePutBack(bool aside, bool movedBack, bool targetTaken, bool timeLeft);
