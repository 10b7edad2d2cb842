// Whole-file writes: the target changes whole or not at all, and nothing else
// in its folder changes, whether one writer or several are at work.

#include "files/WriteFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

namespace {

namespace fs = std::filesystem;

class WriteFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("ostrel-files-") + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    m_dir = fs::temp_directory_path() / name;
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  std::string Path(const char* name) const { return (m_dir / name).string(); }

  std::vector<uint8_t> Read(const char* name) const {
    std::ifstream in(m_dir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  void Put(const char* name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(m_dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  // The names in the folder: a temporary file left behind shows here.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_dir))
      names.insert(entry.path().filename().string());
    return names;
  }

  fs::path m_dir;
};

struct WriteCase {
  const char* name;
  bool existing;
  bool replace;
  WriteFileResult result;
  bool changes;
};

class WriteFileModes : public WriteFileTest, public ::testing::WithParamInterface<WriteCase> {};

// Beside the target lies a file that an older writer used as its temporary:
// it belongs to someone else and must survive.
TEST_P(WriteFileModes, ChangesTheTargetWholeOrNotAtAllAndNothingElse) {
  const std::vector<uint8_t> old = {1, 2, 3, 4, 5, 6};
  const std::vector<uint8_t> fresh = {9, 8, 7};
  const std::vector<uint8_t> neighbour = {'k', 'e', 'e', 'p'};
  Put("notes.tmp", neighbour);
  if (GetParam().existing)
    Put("notes", old);

  std::string error;
  EXPECT_EQ(WriteFileWhole(Path("notes"), fresh, GetParam().replace, error), GetParam().result)
      << error;
  EXPECT_EQ(Read("notes"), GetParam().changes ? fresh : old);
  EXPECT_EQ(Read("notes.tmp"), neighbour);
  EXPECT_EQ(Names(), (std::set<std::string>{"notes", "notes.tmp"}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteFileModes,
    ::testing::Values(WriteCase{"NewFile", false, false, WriteFileResult::Written, true},
                      WriteCase{"NewFileReplacing", false, true, WriteFileResult::Written, true},
                      WriteCase{"Replaced", true, true, WriteFileResult::Written, true},
                      WriteCase{"KeptWhenNotReplacing", true, false, WriteFileResult::Exists,
                                false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WriteFileTest, AFailedWriteSaysWhyAndLeavesNothingBehind) {
  std::string error;
  EXPECT_EQ(WriteFileWhole(Path("missing/notes"), {1}, true, error), WriteFileResult::Failed);
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(Names().empty());

  // Here the temporary file is written before the move fails.
  fs::create_directory(m_dir / "folder");
  error.clear();
  EXPECT_EQ(WriteFileWhole(Path("folder"), {1}, true, error), WriteFileResult::Failed);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Names(), std::set<std::string>{"folder"});
  EXPECT_TRUE(fs::is_empty(m_dir / "folder"));
}

TEST_F(WriteFileTest, WritersAtOnceNeverMixTheirBytes) {
  constexpr int kWriters = 4;
  constexpr int kRounds = 20;
  std::vector<std::vector<uint8_t>> contents;
  for (int writer = 0; writer < kWriters; ++writer)
    contents.emplace_back(4096 + 512 * writer, static_cast<uint8_t>('A' + writer));
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int writer = 0; writer < kWriters; ++writer)
    threads.emplace_back([&, writer] {
      std::string error;
      for (int round = 0; round < kRounds; ++round)
        if (WriteFileWhole(Path("image.nvm"), contents[writer], true, error) !=
            WriteFileResult::Written)
          ++failures;
    });
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(failures, 0);
  EXPECT_NE(std::find(contents.begin(), contents.end(), Read("image.nvm")), contents.end());
  EXPECT_EQ(Names(), std::set<std::string>{"image.nvm"});
}

TEST_F(WriteFileTest, OfWritersThatMustNotReplaceExactlyOneWins) {
  constexpr int kWriters = 4;
  std::atomic<int> written{0};
  std::atomic<int> exists{0};
  std::vector<std::thread> threads;
  for (int writer = 0; writer < kWriters; ++writer)
    threads.emplace_back([&, writer] {
      std::string error;
      const WriteFileResult result = WriteFileWhole(
          Path("backup"), std::vector<uint8_t>(1000, static_cast<uint8_t>(writer)), false, error);
      ++(result == WriteFileResult::Written ? written : exists);
    });
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(written, 1);
  EXPECT_EQ(exists, kWriters - 1);
  EXPECT_EQ(Read("backup").size(), 1000u);
  EXPECT_EQ(Names(), std::set<std::string>{"backup"});
}

#ifndef _WIN32
// The file that takes the old one's place is as readable as any new file.
TEST_F(WriteFileTest, TheWrittenFileHasTheUsualMode) {
  Put("usual", {0});
  std::string error;
  ASSERT_EQ(WriteFileWhole(Path("written"), {1}, false, error), WriteFileResult::Written);
  EXPECT_EQ(fs::status(m_dir / "written").permissions(), fs::status(m_dir / "usual").permissions());
}
#endif

} // namespace
