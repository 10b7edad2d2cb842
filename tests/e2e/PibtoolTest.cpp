// pibtool.exe on image files whose names no ANSI code page holds: the wide
// command line reaches the file as UTF-8, and a message that names the file
// gives its name back as the same UTF-8 bytes.
#include "files/ReadFile.h"
#include "files/WideText.h"
#include "files/WriteFile.h"
#include "nvm/NvmImageBuilder.h"
#include "nvm/PibView.h"
#include "tests/e2e/SimCase.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {
class PibtoolPaths : public ::testing::TestWithParam<UnusualPath> {};

TEST_P(PibtoolPaths, OpenAndSetTheImageAndNameItInMessages) {
  SimCase sim;
  ASSERT_TRUE(MakeFolders(sim, GetParam().folders));
  const std::string folder = sim.Path(GetParam().folders);
  const std::string image = folder + "\\" + GetParam().file + ".nvm";
  NvmImageBuilder built(PibViewNamed("7420-1.4")->Layout(), false);
  std::string error;
  ASSERT_EQ(WriteFileWhole(image, built.image, false, error), WriteFileResult::Written) << error;

  const std::string pibtool = SimCase::ProgramExe("pibtool.exe");
  const auto run = [&](const std::string& arguments, const std::string& file, int& status) {
    return SplitLines(RunProgram(pibtool, arguments + " \"" + file + "\"", status));
  };
  int status = -1;
  std::vector<std::string> lines = run("open --layout 7420-1.4", image, status);
  EXPECT_EQ(status, 0);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "open: 0");
  lines = run("set --layout 7420-1.4 on", image, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(lines, std::vector<std::string>{"on"});
  EXPECT_EQ(run("get --layout 7420-1.4", image, status), std::vector<std::string>{"on"});
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadFileUpTo(image, built.image.size(), bytes, error)) << error;
  EXPECT_NE(bytes, built.image);

  const std::string missing = folder + "\\нет-ありません.nvm";
  lines = run("open --layout 7420-1.4", missing, status);
  EXPECT_EQ(status, 2);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("pibtool: " + missing + ": ", 0), 0u) << lines[0];
}

INSTANTIATE_TEST_SUITE_P(Names, PibtoolPaths, EveryUnusualPath(), UnusualPathName);

// A read-only file is a person's decision, not a program's brief hold: it is
// refused at once and left as it was.
TEST(Pibtool, RefusesAReadOnlyFileAtOnce) {
  SimCase sim;
  const std::string image = sim.Path("image.nvm");
  NvmImageBuilder built(PibViewNamed("7420-1.4")->Layout(), false);
  std::string error;
  ASSERT_EQ(WriteFileWhole(image, built.image, false, error), WriteFileResult::Written) << error;
  ASSERT_TRUE(::SetFileAttributesA(image.c_str(), FILE_ATTRIBUTE_READONLY));
  int status = -1;
  const ULONGLONG start = ::GetTickCount64();
  const std::vector<std::string> lines = SplitLines(RunProgram(
      SimCase::ProgramExe("pibtool.exe"), "set --layout 7420-1.4 on \"" + image + "\"", status));
  const ULONGLONG took = ::GetTickCount64() - start;
  ::SetFileAttributesA(image.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(lines, std::vector<std::string>{"pibtool: " + image +
                                            ": cannot replace the file: it is read-only"});
  EXPECT_LT(took, 1000u);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadFileUpTo(image, built.image.size(), bytes, error)) << error;
  EXPECT_EQ(bytes, built.image);
}
} // namespace
