// Folder operations on a small tree: what each does to the tree, and that it
// does nothing else.

#include "files/Folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include "files/WideText.h"

#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#endif

namespace {

namespace fs = std::filesystem;

enum class Operation { List, Remove, Rename, Make };

struct FolderCase {
  const char* label;
  Operation operation;
  std::string path;       // '/' between names
  std::string to;         // where Rename moves `path`
  WriteFileResult result; // Written for true, Failed for false
  std::string error;
  std::string after; // the tree afterwards ("name=content", "folder/"), or the names listed
};

const std::string kTree = "a=1 b=2 sub/ sub/inner=3 папка/ папка/копия=4";

// The system's own words for a name that is not there.
std::string MissingReason() {
#ifdef _WIN32
  return SystemReason(ERROR_FILE_NOT_FOUND);
#else
  return std::strerror(ENOENT);
#endif
}

std::set<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

void PrintTo(const FolderCase& c, std::ostream* os) {
  *os << c.label;
}

class FolderOperations : public ::testing::TestWithParam<FolderCase> {
protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / (std::string("ostrel-folder-") + GetParam().label);
    fs::remove_all(m_dir);
    fs::create_directory(m_dir);
    for (const std::string& entry : Words(kTree)) {
      const std::size_t equals = entry.find('=');
      if (equals == std::string::npos)
        fs::create_directories(m_dir / fs::u8path(entry));
      else
        std::ofstream(m_dir / fs::u8path(entry.substr(0, equals))) << entry.substr(equals + 1);
    }
  }
  void TearDown() override { fs::remove_all(m_dir); }

  // UTF-8, with the system's separators, as the session will name its files.
  std::string Path(std::string name) const {
    for (char& c : name)
      c = c == '/' ? kPathSeparator : c;
    return name.empty() ? m_dir.u8string() : m_dir.u8string() + kPathSeparator + name;
  }

  std::set<std::string> Tree() const {
    std::set<std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(m_dir)) {
      const std::string name = entry.path().lexically_relative(m_dir).generic_u8string();
      std::string content;
      std::ifstream(entry.path()) >> content;
      tree.insert(entry.is_directory() ? name + "/" : name + "=" + content);
    }
    return tree;
  }

  fs::path m_dir;
};

using O = Operation;
constexpr WriteFileResult kDone = WriteFileResult::Written;
constexpr WriteFileResult kFailed = WriteFileResult::Failed;
constexpr WriteFileResult kExists = WriteFileResult::Exists;

TEST_P(FolderOperations, ChangeTheTreeAsTheySayAndNothingElse) {
  const FolderCase& c = GetParam();
  std::vector<std::string> names = {"stale"};
  std::string error;
  const auto done = [](bool ok) { return ok ? kDone : kFailed; };
  const WriteFileResult result =
      c.operation == O::List     ? done(ListFiles(Path(c.path), names, error))
      : c.operation == O::Remove ? done(RemoveFile(Path(c.path), error))
      : c.operation == O::Rename ? RenameFile(Path(c.path), Path(c.to), error)
                                 : done(MakeFolders(Path(c.path), error));
  if (c.operation == O::List) {
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), Words(c.after));
  }
  EXPECT_EQ(result, c.result) << error;
  EXPECT_EQ(error, c.error);
  EXPECT_EQ(Tree(), Words(c.operation == O::List ? kTree : c.after));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, FolderOperations, ::testing::ValuesIn(std::vector<FolderCase>{
    {"ListFilesOnly", O::List, "", "", kDone, "", "a b"},
    {"ListNonAscii", O::List, "папка", "", kDone, "", "копия"},
    {"ListMissing", O::List, "missing", "", kDone, "", ""},
    {"ListAFile", O::List, "a", "", kFailed, kNotADirectory, ""},
    {"Remove", O::Remove, "a", "", kDone, "", "b=2 sub/ sub/inner=3 папка/ папка/копия=4"},
    {"RemoveNonAscii", O::Remove, "папка/копия", "", kDone, "", "a=1 b=2 sub/ sub/inner=3 папка/"},
    {"RemoveGone", O::Remove, "c", "", kDone, "", kTree},
    {"RemoveAFolder", O::Remove, "sub", "", kFailed, kIsADirectory, kTree},
    {"Rename", O::Rename, "a", "c", kDone, "", "b=2 c=1 sub/ sub/inner=3 папка/ папка/копия=4"},
    {"RenameNonAscii", O::Rename, "папка/копия", "sub/копия", kDone, "",
     "a=1 b=2 sub/ sub/inner=3 sub/копия=4 папка/"},
    {"RenameOntoAFile", O::Rename, "a", "b", kExists, "", kTree},
    {"RenameOntoAFolder", O::Rename, "b", "sub", kExists, "", kTree},
    {"RenameMissing", O::Rename, "c", "d", kFailed, MissingReason(), kTree},
    {"MakeNested", O::Make, "new/папка/x", "", kDone, "", kTree + " new/ new/папка/ new/папка/x/"},
    {"MakeExisting", O::Make, "папка", "", kDone, "", kTree},
    {"MakeOverAFile", O::Make, "a", "", kFailed, kNotADirectory, kTree},
    {"MakeThroughAFile", O::Make, "a/x", "", kFailed, kNotADirectory, kTree}}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

} // namespace
