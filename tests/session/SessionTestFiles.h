#pragma once
// A folder of each test's own, and whole files in it, for the session's
// file rules on either system.

#include "files/Folder.h"
#include "files/ReadFile.h"
#include "files/WriteFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

// Removes the folders that SessionTestFolder made for a test when it ends.
class SessionTestFolders : public ::testing::EmptyTestEventListener {
public:
  static std::vector<std::filesystem::path>& Made() {
    static std::vector<std::filesystem::path> made;
    return made;
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    std::error_code ignored;
    for (const auto& folder : Made())
      std::filesystem::remove_all(folder, ignored);
    Made().clear();
  }
};

// A new folder of the running test's own in the system's temporary folder,
// removed with what it holds when the test ends.
inline std::string SessionTestFolder() {
  static const bool removing =
      (::testing::UnitTest::GetInstance()->listeners().Append(new SessionTestFolders), true);
  (void)removing;
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
  std::string name = std::string("ostrel-session-") + test->name() + "-" + std::to_string(tick);
  std::replace(name.begin(), name.end(), '/', '-');
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / name;
  std::filesystem::create_directories(folder);
  SessionTestFolders::Made().push_back(folder);
  return folder.string();
}

inline std::string Bytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileUpTo(path, 64u << 20, bytes, error))
    return "(" + error + ")";
  return std::string(bytes.begin(), bytes.end());
}

inline void Write(const std::string& path, const std::string& text) {
  std::string error;
  ASSERT_EQ(WriteFileWhole(path, std::vector<uint8_t>(text.begin(), text.end()), true, error),
            WriteFileResult::Written)
      << error;
}
