// The option table's parser and usage, as both console programs use them.
#include "console/CommandLine.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

const CommandTable kTable = {
    "tool",
    {{"status", "", 0}, {"on", "", 0}, {"off", "", 0}, {"backup", "FILE", 1}},
    {{"backup", "FILE", "on off", true},
     {"replace", nullptr, "on off backup", true},
     {"verify", nullptr, "on off", false},
     {"json", nullptr, nullptr, true},
     {"wait", "SECONDS", nullptr, true}}};

TEST(CommandLine, ParsesOrNamesTheWrongWord) {
  const struct {
    std::vector<std::string> args; // after the program
    std::string wrong;
    std::vector<std::string> operands;
    std::string backup;
  } cases[] = {
      {{"on", "--json", "--backup", "b.ostrel", "--replace"}, "", {}, "b.ostrel"},
      {{"backup", "--", "--json"}, "", {"--json"}, ""},
      {{"backup", "--wait", "5", "b"}, "", {"b"}, ""},
      {{}, "no command given", {}, ""},
      {{""}, "argument 1 is empty", {}, ""},
      {{"frob"}, "unknown command 'frob'", {}, ""},
      {{"on", "--backup"}, "'--backup' needs a value", {}, ""},
      {{"on", "--backup", "--verify"}, "'--backup' needs a value", {}, ""},
      {{"on", "--backup", ""}, "'--backup' needs a value; argument 3 is empty", {}, ""},
      {{"on", "--backup force"}, "unknown option '--backup force' for on", {}, ""},
      {{"on", "--back"}, "unknown option '--back' for on", {}, ""},
      {{"status", "--replace"}, "unknown option '--replace' for status", {}, ""},
      {{"on", "--json", "--json"}, "'--json' is given twice", {}, ""},
      {{"backup", ""}, "argument 2 is empty", {}, ""},
      {{"backup", "--", ""}, "argument 3 is empty", {}, ""},
      {{"backup"}, "backup needs FILE", {}, ""},
      {{"status", "x"}, "unexpected 'x'", {}, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"tool"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CommandLine line;
    const std::string wrong = ParseCommandLine(kTable, args, line);
    const std::string shown = ::testing::PrintToString(c.args);
    EXPECT_EQ(wrong, c.wrong) << shown;
    if (c.wrong.empty()) {
      EXPECT_EQ(line.command->name, c.args[0]) << shown;
      EXPECT_EQ(line.operands, c.operands) << shown;
      EXPECT_EQ(line.Value("backup"), c.backup) << shown;
      EXPECT_EQ(line.Has("json"), c.args.size() > 1 && c.args[1] == "--json") << shown;
    }
  }
}

TEST(CommandLine, UsageJoinsAlikeCommandsListsOnlyListedOptionsAndFitsEightyColumns) {
  const std::string usage = CommandUsage(kTable);
  EXPECT_EQ(usage.rfind("usage: tool status [--json] [--wait SECONDS]\n", 0), 0u) << usage;
  EXPECT_NE(usage.find("tool on|off [--backup FILE] [--replace]"), std::string::npos) << usage;
  EXPECT_NE(usage.find("tool backup FILE [--replace]"), std::string::npos) << usage;
  EXPECT_EQ(usage.find("--verify"), std::string::npos) << usage;
  // Only neighbours join, and only when both operands and options agree; the
  // last two commands join as well as any.
  // clang-format off
  const CommandTable alike = {"tool",
      {{"read", "FILE", 1}, {"write", "FILE", 1}, {"erase", "FILE", 1}, {"probe", "", 0}, {"list", "", 0},
       {"show", "FILE", 1}, {"dump", "FILE", 1}},
      {{"force", nullptr, "write erase", true}}};
  // clang-format on
  EXPECT_EQ(CommandUsage(alike), "usage: tool read FILE\n"
                                 "       tool write|erase FILE [--force]\n"
                                 "       tool probe|list\n"
                                 "       tool show|dump FILE\n"
                                 "       tool help | --help | -h | /?\n"
                                 "       tool --version\n");
  const CommandOption longOption = {"a-long-option", "VALUE", nullptr, true};
  const CommandTable wide = {
      "tool", {{"go", "FILE", 1}}, std::vector<CommandOption>(12, longOption)};
  std::istringstream lines(CommandUsage(wide));
  std::size_t count = 0;
  for (std::string line; std::getline(lines, line); ++count)
    EXPECT_LT(line.size(), 80u) << line;
  EXPECT_GT(count, 4u);
  // A line may fill 79 columns, not 80; a word wrapped stands under the first
  // word after the command's name.
  for (const std::size_t length : {55u, 56u}) {
    const std::string name(length, 'o'), option = "[--" + name + "]";
    const CommandTable edge = {
        "tool", {{"go", "FILE", 1}}, {{name.c_str(), nullptr, nullptr, true}}};
    EXPECT_EQ(CommandUsage(edge),
              (length == 55 ? "usage: tool go FILE " : "usage: tool go FILE\n               ") +
                  option + "\n       tool help | --help | -h | /?\n       tool --version\n")
        << length;
  }
}

} // namespace
