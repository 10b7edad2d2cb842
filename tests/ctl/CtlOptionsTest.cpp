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

// Each row: a command line, then what it sets or what is wrong with it.
TEST(CtlOptions, EachOptionSetsItsFieldAndContradictionsAreRefused) {
  const CommandTable table = {"ostrelctl",
                              {{"status", "", 0},
                               {"on", "", 0},
                               {"backup", "FILE", 1},
                               {"restore", "FILE", 1},
                               {"history", "", 0}},
                              CtlOptionTable()};
  const struct {
    const char* line;
    const char* wrong;
    std::string file, backup;
    bool replace, force, verify, copy, json;
    unsigned wait;
  } cases[] = {
      {"on", "", "", "", false, false, true, true, false, 30},
      {"on --backup b.ostrel --replace", "", "", "b.ostrel", true, false, true, true, false, 30},
      {"backup f.ostrel --replace", "", "f.ostrel", "", true, false, true, true, false, 30},
      {"on --replace", "'--replace' needs '--backup FILE'", "", "", true, false, true, true, false,
       30},
      {"restore f --force --no-verify --no-copy", "", "f", "", false, true, false, false, false,
       30},
      {"on --verify", "", "", "", false, false, true, true, false, 30},
      {"on --verify --no-verify", "'--verify' and '--no-verify' contradict each other", "", "",
       false, false, false, true, false, 30},
      {"history --json", "", "", "", false, false, true, true, true, 30},
      {"status --wait 0", "", "", "", false, false, true, true, false, 0},
      {"status --wait 86400", "", "", "", false, false, true, true, false, 86400},
      {"status --wait 86401", "'--wait 86401': give whole seconds, at most 86400", "", "", false,
       false, true, true, false, 30},
      {"status --wait +5", "'--wait +5': give whole seconds, at most 86400", "", "", false, false,
       true, true, false, 30},
      {"status --wait 5s", "'--wait 5s': give whole seconds, at most 86400", "", "", false, false,
       true, true, false, 30},
  };
  for (const auto& c : cases) {
    CommandLine line;
    ASSERT_EQ(ParseCommandLine(table, Args(c.line), line), "") << c.line;
    CtlOptions options;
    EXPECT_EQ(ReadCtlOptions(line, options), c.wrong) << c.line;
    EXPECT_EQ(options.file, c.file) << c.line;
    EXPECT_EQ(options.backup, c.backup) << c.line;
    EXPECT_EQ(options.replace, c.replace) << c.line;
    EXPECT_EQ(options.force, c.force) << c.line;
    EXPECT_EQ(options.verify, c.verify) << c.line;
    EXPECT_EQ(options.copy, c.copy) << c.line;
    EXPECT_EQ(options.json, c.json) << c.line;
    EXPECT_EQ(options.waitSeconds, c.wait) << c.line;
  }
}

// --json is honoured on a line too wrong to parse, up to a "--".
TEST(CtlOptions, JsonIsSeenBeforeTheOptionsEnd) {
  const struct {
    const char* line;
    bool json;
  } cases[] = {{"on --json --bogus", true}, {"--json", false}, {"on -- --json", false}};
  for (const auto& c : cases)
    EXPECT_EQ(JsonAsked(Args(c.line)), c.json) << c.line;
}

TEST(CtlOptions, TheUsageNamesTheWaitsBounds) {
  EXPECT_EQ(CtlWaitUsage(), "SECONDS is 0 to 86400, 30 by default.\n");
}

} // namespace

// The name the console library's version line gives.
const char kConsoleProgram[] = "ostrelctl";
