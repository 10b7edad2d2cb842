// Whole-file writes: the target changes whole or not at all, and nothing else
// in its folder changes, whether one writer or several are at work. Whole-file
// reads. Both under any name a user's files may have.

#include "files/WriteFile.h"
#include "files/Folder.h"
#include "files/ReadFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <thread>

#ifdef _WIN32
#include "files/WideText.h"

#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// The entries of a folder as the system lists them, each with whether it is a
// folder. On Windows, libstdc++ makes, lists and removes folders only within
// MAX_PATH; the wide API with the long prefix has no such limit.
std::map<std::string, bool> Entries(const fs::path& folder) {
  std::map<std::string, bool> entries;
#ifdef _WIN32
  std::wstring pattern;
  std::string error;
  WIN32_FIND_DATAW entry;
  const HANDLE find = WidePath(folder.u8string() + "\\*", pattern, error)
                          ? ::FindFirstFileW(pattern.c_str(), &entry)
                          : INVALID_HANDLE_VALUE;
  if (find == INVALID_HANDLE_VALUE)
    return entries;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..")
      entries[Utf8FromWide(name)] = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  } while (::FindNextFileW(find, &entry));
  ::FindClose(find);
#else
  for (const auto& entry : fs::directory_iterator(folder))
    entries[entry.path().filename().u8string()] = entry.is_directory();
#endif
  return entries;
}

void RemoveTree(const fs::path& folder) {
#ifdef _WIN32
  std::string error;
  for (const auto& [name, isFolder] : Entries(folder)) {
    if (isFolder)
      RemoveTree(folder / fs::u8path(name));
    else
      RemoveFile((folder / fs::u8path(name)).u8string(), error);
  }
  std::wstring wide;
  if (WidePath(folder.u8string(), wide, error))
    ::RemoveDirectoryW(wide.c_str());
#else
  fs::remove_all(folder);
#endif
}

class WriteFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("ostrel-files-") + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    m_dir = fs::temp_directory_path() / name;
    m_working = fs::current_path();
    RemoveTree(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    fs::current_path(m_working);
    RemoveTree(m_dir);
  }

  // Names are UTF-8, as the helpers take them.
  std::string Path(const std::string& name) const { return (m_dir / fs::u8path(name)).u8string(); }

  std::vector<uint8_t> Read(const char* name) const {
    std::ifstream in(m_dir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  void Put(const char* name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(m_dir / name, std::ios::binary) << std::string(bytes.begin(), bytes.end());
  }

  // The names in the folder as the system lists them: a temporary file left
  // behind shows here, and so does a name that was not kept.
  std::set<std::string> Names(const std::string& folder = "") const {
    std::set<std::string> names;
    for (const auto& entry : Entries(m_dir / fs::u8path(folder)))
      names.insert(entry.first);
    return names;
  }

  fs::path m_dir;
  fs::path m_working;
};

struct WriteCase {
  const char* name;
  bool existing;
  bool replace;
  WriteFileResult result;
  bool changes;
};

class WriteFileModes : public WriteFileTest, public ::testing::WithParamInterface<WriteCase> {};

unsigned long ProcessId() {
#ifdef _WIN32
  return ::GetCurrentProcessId();
#else
  return static_cast<unsigned long>(::getpid());
#endif
}

// Beside the target lie files that older writers used as their temporaries,
// some under the names this process tries next (its counter is shared, so
// most names are taken): they belong to someone else and must survive.
TEST_P(WriteFileModes, ChangesTheTargetWholeOrNotAtAllAndNothingElse) {
  const std::vector<uint8_t> old = {1, 2, 3, 4, 5, 6};
  const std::vector<uint8_t> fresh = {9, 8, 7};
  const std::vector<uint8_t> neighbour = {'k', 'e', 'e', 'p'};
  std::set<std::string> leftovers = {"notes.tmp"};
  const std::string ours = "notes." + std::to_string(ProcessId()) + "-";
  for (unsigned next = 0; next < 400; ++next)
    if (next % 50 != 0)
      leftovers.insert(ours + std::to_string(next) + ".tmp");
  for (const std::string& name : leftovers)
    Put(name.c_str(), neighbour);
  if (GetParam().existing)
    Put("notes", old);

  std::string error;
  EXPECT_EQ(WriteFileWhole(Path("notes"), fresh, GetParam().replace, error), GetParam().result)
      << error;
  EXPECT_EQ(Read("notes"), GetParam().changes ? fresh : old);
  for (const std::string& name : leftovers)
    ASSERT_EQ(Read(name.c_str()), neighbour) << name;
  leftovers.insert("notes");
  EXPECT_EQ(Names(), leftovers);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, WriteFileModes, ::testing::ValuesIn(std::vector<WriteCase>{
    {"NewFile", false, false, WriteFileResult::Written, true},
    {"NewFileReplacing", false, true, WriteFileResult::Written, true},
    {"Replaced", true, true, WriteFileResult::Written, true},
    {"KeptWhenNotReplacing", true, false, WriteFileResult::Exists, false}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// The system's own words for a folder on the way that does not exist.
std::string MissingFolderReason() {
#ifdef _WIN32
  return SystemReason(ERROR_PATH_NOT_FOUND);
#else
  return std::strerror(ENOENT);
#endif
}

TEST_F(WriteFileTest, AFailedWriteSaysWhyAndLeavesNothingBehind) {
  std::string error;
  EXPECT_EQ(WriteFileWhole(Path("missing/notes"), {1}, true, error), WriteFileResult::Failed);
  EXPECT_EQ(error, MissingFolderReason());
  EXPECT_TRUE(Names().empty());

  fs::create_directory(m_dir / "folder");
  for (const bool replace : {true, false}) {
    error.clear();
    EXPECT_EQ(WriteFileWhole(Path("folder"), {1}, replace, error), WriteFileResult::Failed);
    EXPECT_EQ(error, "is a directory");
  }
  EXPECT_EQ(Names(), std::set<std::string>{"folder"});
  EXPECT_TRUE(fs::is_empty(m_dir / "folder"));

#ifdef _WIN32
  // A guessed conversion could name another file.
  error.clear();
  EXPECT_EQ(WriteFileWhole(m_dir.u8string() + "\\notes\xff", {1}, true, error),
            WriteFileResult::Failed);
  EXPECT_EQ(error, "the path is not valid UTF-8");
#else
  // With files limited to 100 bytes, the write stops part way and then fails.
  rlimit was;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
  rlimit small = was;
  small.rlim_cur = 100;
  const auto signal = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const WriteFileResult result =
      WriteFileWhole(Path("notes"), std::vector<uint8_t>(1000, 1), true, error);
  ::setrlimit(RLIMIT_FSIZE, &was);
  std::signal(SIGXFSZ, signal);
  EXPECT_EQ(result, WriteFileResult::Failed);
  EXPECT_EQ(error, std::strerror(EFBIG));
#endif
  EXPECT_EQ(Names(), std::set<std::string>{"folder"});
}

TEST_F(WriteFileTest, AFailedReadSaysWhy) {
  fs::create_directory(m_dir / "folder");
  std::vector<uint8_t> bytes;
  std::string error;
  bool missing = true;
  EXPECT_FALSE(ReadFileUpTo(Path("folder"), 16, bytes, error, &missing));
  EXPECT_EQ(error, "is a directory");
  EXPECT_FALSE(missing);
  // Nothing was ever written there: the history before the first write.
  EXPECT_FALSE(ReadFileUpTo(Path("missing/notes"), 16, bytes, error, &missing));
  EXPECT_EQ(error, MissingFolderReason());
  EXPECT_TRUE(missing);
#ifndef _WIN32
  // It opens, but its first bytes, this process's unmapped page 0, cannot be read.
  EXPECT_FALSE(ReadFileUpTo("/proc/self/mem", 16, bytes, error));
  EXPECT_EQ(error, std::strerror(EIO));
#endif
}

struct LimitCase {
  std::size_t size;
  std::size_t limit;
  std::size_t read;
};

class ReadFileLimits : public WriteFileTest, public ::testing::WithParamInterface<LimitCase> {};

// One byte over the limit says "too large" without reading a huge file whole.
TEST_P(ReadFileLimits, ReadNoMoreThanOneByteOverTheLimit) {
  std::vector<uint8_t> content(GetParam().size);
  for (std::size_t i = 0; i < content.size(); ++i)
    content[i] = static_cast<uint8_t>(i * 7 + i / 256);
  Put("file", content);
  std::vector<uint8_t> bytes = {1, 2, 3};
  std::string error;
#ifndef _WIN32
  errno = EINTR; // an earlier call's: no read of this one was interrupted
#endif
  ASSERT_TRUE(ReadFileUpTo(Path("file"), GetParam().limit, bytes, error)) << error;
  EXPECT_EQ(bytes, std::vector<uint8_t>(content.begin(), content.begin() + GetParam().read));
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadFileLimits,
                         ::testing::Values(LimitCase{0, 0, 0}, LimitCase{10, 0, 1},
                                           LimitCase{10, 9, 10}, LimitCase{10, 10, 10},
                                           LimitCase{10, SIZE_MAX, 10},
                                           LimitCase{10000, 4095, 4096},
                                           LimitCase{10000, 5000, 5001},
                                           LimitCase{10000, SIZE_MAX, 10000}));

struct NameCase {
  const char* name;
  std::string folders; // made first
  std::string file;
  bool relative = false; // named from the test's folder as the working folder
};

void PrintTo(const NameCase& c, std::ostream* os) {
  *os << c.name;
}

class FileNames : public WriteFileTest, public ::testing::WithParamInterface<NameCase> {};

// The name the system lists is the UTF-8 name given; the temporary file beside
// it is made and removed under whatever the target's name and length.
TEST_P(FileNames, AreWrittenReplacedAndReadUnderTheirOwnName) {
  const std::string& folders = GetParam().folders;
  std::string error;
  ASSERT_TRUE(folders.empty() || MakeFolders(Path(folders), error)) << error;
  const std::string name = folders.empty() ? GetParam().file : folders + "/" + GetParam().file;
  if (GetParam().relative)
    fs::current_path(m_dir);
  const std::string path = GetParam().relative ? name : Path(name);
  ASSERT_EQ(WriteFileWhole(path, {1, 2, 3}, false, error), WriteFileResult::Written) << error;
  EXPECT_EQ(WriteFileWhole(path, {4}, false, error), WriteFileResult::Exists);
  ASSERT_EQ(WriteFileWhole(path, {5, 6}, true, error), WriteFileResult::Written) << error;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadFileUpTo(path, 16, bytes, error)) << error;
  EXPECT_EQ(bytes, (std::vector<uint8_t>{5, 6}));
  EXPECT_EQ(Names(folders), std::set<std::string>{GetParam().file});
}

std::string Repeated(const std::string& text, int times) {
  std::string repeated;
  while (times-- > 0)
    repeated += text;
  return repeated;
}

// The longest names leave no room for the temporary file's suffix; the name is
// shortened, never inside a character, whichever length the suffix has. Nested
// folders take the path to 318 bytes, well past Windows' MAX_PATH of 260.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, FileNames, ::testing::ValuesIn(std::vector<NameCase>{
    {"Cyrillic", "", "Резервная копия.ostrel"},
    {"Japanese", "", "バックアップ.ostrel"},
    {"LongerThanMaxPath", "копии" + Repeated("/バックアップ-" + std::string(24, 'x'), 7), "образ-画像.nvm"},
    {"LongestName", "", std::string(250, 'n')},
    {"LongestNameInTheWorkingFolder", "", std::string(250, 'n'), true},
    {"LongestCyrillicName", "", Repeated("я", 123) + "z"},
    {"LongestCyrillicNameShifted", "", "z" + Repeated("я", 123)}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Runs `write(writer)` for each of `writers` at once.
void AtOnce(int writers, const std::function<void(int)>& write) {
  std::vector<std::thread> threads;
  for (int writer = 0; writer < writers; ++writer)
    threads.emplace_back(write, writer);
  for (std::thread& thread : threads)
    thread.join();
}

TEST_F(WriteFileTest, WritersAtOnceNeverMixTheirBytes) {
  constexpr int kWriters = 4;
  constexpr int kRounds = 20;
  std::vector<std::vector<uint8_t>> contents;
  for (int writer = 0; writer < kWriters; ++writer)
    contents.emplace_back(4096 + 512 * writer, static_cast<uint8_t>('A' + writer));
  std::atomic<int> failures{0};
  AtOnce(kWriters, [&](int writer) {
    std::string error;
    for (int round = 0; round < kRounds; ++round)
      failures += WriteFileWhole(Path("image.nvm"), contents[writer], true, error) !=
                  WriteFileResult::Written;
  });
  EXPECT_EQ(failures, 0);
  EXPECT_NE(std::find(contents.begin(), contents.end(), Read("image.nvm")), contents.end());
  EXPECT_EQ(Names(), std::set<std::string>{"image.nvm"});
}

TEST_F(WriteFileTest, OfWritersThatMustNotReplaceExactlyOneWins) {
  constexpr int kWriters = 4;
  std::atomic<int> written{0};
  std::atomic<int> exists{0};
  AtOnce(kWriters, [&](int writer) {
    std::string error;
    const WriteFileResult result = WriteFileWhole(
        Path("backup"), std::vector<uint8_t>(1000, static_cast<uint8_t>(writer)), false, error);
    ++(result == WriteFileResult::Written ? written : exists);
  });
  EXPECT_EQ(written, 1);
  EXPECT_EQ(exists, kWriters - 1);
  EXPECT_EQ(Read("backup").size(), 1000u);
  EXPECT_EQ(Names(), std::set<std::string>{"backup"});
}

#ifdef _WIN32
struct HeldCase {
  const char* name;
  DWORD share;     // how another program holds the target open
  bool waitsForIt; // whether the replace must wait until it lets go
};

class HeldTargets : public WriteFileTest, public ::testing::WithParamInterface<HeldCase> {};

// A program that holds the target open without letting it be deleted keeps it
// from being replaced until it lets go; a write that comes meanwhile waits for
// that, and nothing is left beside the file.
TEST_P(HeldTargets, AreReplacedOnceLetGo) {
  Put("held", {1, 2, 3});
  std::wstring target;
  std::string error;
  ASSERT_TRUE(WidePath(Path("held"), target, error)) << error;
  const HANDLE holder = ::CreateFileW(target.c_str(), GENERIC_READ, GetParam().share, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  // A write that does not wait is over while the file is still held: the
  // holder lets go only once it returns. One that waits is let go of soon.
  std::atomic<bool> returned{false};
  std::atomic<bool> letGo{false};
  const bool waits = GetParam().waitsForIt;
  std::thread holding([&] {
    for (int i = 0; i < (waits ? 20 : 1000) && !returned; ++i)
      ::Sleep(10);
    letGo = true;
    ::CloseHandle(holder);
  });
  const WriteFileResult result = WriteFileWhole(Path("held"), {4, 5}, true, error);
  const bool afterLetGo = letGo;
  returned = true;
  holding.join();
  EXPECT_EQ(result, WriteFileResult::Written) << error;
  EXPECT_EQ(afterLetGo, waits);
  EXPECT_EQ(Read("held"), (std::vector<uint8_t>{4, 5}));
  EXPECT_EQ(Names(), std::set<std::string>{"held"});
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, HeldTargets, ::testing::ValuesIn(std::vector<HeldCase>{
    {"ReadWrite", FILE_SHARE_READ | FILE_SHARE_WRITE, true},
    {"ReadWriteDelete", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on
#endif

// After a failed replace moved the old file aside: it goes back under its
// name while there is time, and is kept under one fixed name beside the
// target when there is none; another writer's whole file wins over it.
TEST(PutBack, TheOldContentIsNeverLostUnderATemporaryName) {
  const struct {
    bool aside, movedBack, targetTaken, timeLeft;
    PutBack expected;
  } cases[] = {
      {false, false, false, true, PutBack::Done},
      {true, true, false, true, PutBack::Done},
      {true, true, true, false, PutBack::Done},
      {true, false, true, true, PutBack::DropAside},
      {true, false, true, false, PutBack::DropAside},
      {true, false, false, true, PutBack::TryAgain},
      {true, false, false, false, PutBack::KeepAsRestore},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DecidePutBack(c.aside, c.movedBack, c.targetTaken, c.timeLeft), c.expected)
        << c.aside << c.movedBack << c.targetTaken << c.timeLeft;
  EXPECT_EQ(RestoreName("C:\\data\\history.txt"), "C:\\data\\history.txt.restore");
}

#ifndef _WIN32
// The file that takes the old one's place is as readable as any new file.
TEST_F(WriteFileTest, TheWrittenFileHasTheUsualMode) {
  Put("usual", {0});
  std::string error;
  ASSERT_EQ(WriteFileWhole(Path("written"), {1}, false, error), WriteFileResult::Written);
  EXPECT_EQ(fs::status(m_dir / "written").permissions(), fs::status(m_dir / "usual").permissions());
}

// A program started with standard input closed opens its first file as
// descriptor 0, which is a file like any other.
TEST_F(WriteFileTest, DescriptorZeroIsAFileLikeAnyOther) {
  const int input = ::dup(0);
  ::close(0);
  std::string error;
  const WriteFileResult wrote = WriteFileWhole(Path("zero"), {7}, false, error);
  std::vector<uint8_t> bytes;
  const bool read = ReadFileUpTo(Path("zero"), 16, bytes, error);
  ::dup2(input, 0);
  ::close(input);
  EXPECT_EQ(wrote, WriteFileResult::Written);
  EXPECT_TRUE(read) << error;
  EXPECT_EQ(bytes, std::vector<uint8_t>{7});
  EXPECT_EQ(Names(), std::set<std::string>{"zero"});
}
#endif

} // namespace
