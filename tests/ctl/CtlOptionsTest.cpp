// What ostrelctl's options mean, alone and together.

#include "ctl/CtlOptions.h"

#include "console/ConsoleMain.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Args(const std::string& line) {
  std::vector<std::string> args = {"ostrelctl"};
  std::istringstream words(line);
  for (std::string word; words >> word;)
    args.push_back(word);
  return args;
}

// The options a run was given, as "name=value" words.
std::string Summary(const CtlOptions& o) {
  return "file=" + o.file + " backup=" + o.backup + (o.replace ? " replace" : "") +
         (o.force ? " force" : "") + (o.verify ? "" : " no-verify") + (o.copy ? "" : " no-copy") +
         (o.json ? " json" : "") + " wait=" + std::to_string(o.waitSeconds);
}

// Each row: a command line, then what it sets, or what is wrong with it.
TEST(CtlOptions, EachOptionSetsItsFieldAndContradictionsAreRefused) {
  const CommandTable table = {
      "ostrelctl",
      {{"status", "", 0}, {"on", "", 0}, {"backup", "FILE", 1}, {"restore", "FILE", 1}},
      CtlOptionTable()};
  // clang-format off
  const struct { const char *line, *result; } cases[] = {
      {"on", "file= backup= wait=30"},
      {"on --backup b --replace", "file= backup=b replace wait=30"},
      {"backup f --replace", "file=f backup= replace wait=30"},
      {"restore f --force --no-verify --no-copy", "file=f backup= force no-verify no-copy wait=30"},
      {"on --verify --json", "file= backup= json wait=30"},
      {"status --wait 0", "file= backup= wait=0"},
      {"status --wait 86400", "file= backup= wait=86400"},
      {"on --replace", "'--replace' needs '--backup FILE'"},
      {"on --verify --no-verify", "'--verify' and '--no-verify' contradict each other"},
      {"status --wait 86401", "'--wait 86401': give whole seconds, at most 86400"},
      {"status --wait +5", "'--wait +5': give whole seconds, at most 86400"},
      {"status --wait 5s", "'--wait 5s': give whole seconds, at most 86400"},
  };
  // clang-format on
  for (const auto& c : cases) {
    CommandLine line;
    ASSERT_EQ(ParseCommandLine(table, Args(c.line), line), "") << c.line;
    CtlOptions options;
    const std::string wrong = ReadCtlOptions(line, options);
    EXPECT_EQ(wrong.empty() ? Summary(options) : wrong, c.result) << c.line;
  }
}

// --json is honoured on a line too wrong to parse, up to a "--".
TEST(CtlOptions, JsonIsSeenBeforeTheOptionsEnd) {
  // clang-format off
  const struct { const char* line; bool json; } cases[] = {
      {"on --json --bogus", true}, {"--json", false}, {"on -- --json", false}};
  // clang-format on
  for (const auto& c : cases)
    EXPECT_EQ(JsonAsked(Args(c.line)), c.json) << c.line;
}

TEST(CtlOptions, TheUsageNamesTheWaitsBounds) {
  EXPECT_EQ(CtlWaitUsage(), "SECONDS is 0 to 86400, 30 by default.\n");
}

} // namespace

// The commands and the report speak as the program they are part of.
const char kConsoleProgram[] = "ostrelctl";
