#include "console/CommandLine.h"

#include <cstring>

#include "console/ConsoleMain.h"
#include "console/ConsoleText.h"

namespace {

constexpr std::size_t kUsageColumns = 80;

bool Takes(const CommandOption& option, const CommandWord& command) {
  if (option.commands == nullptr)
    return true;
  const std::string list = std::string(" ") + option.commands + " ";
  return list.find(std::string(" ") + command.name + " ") != std::string::npos;
}

const CommandOption* FindOption(const CommandTable& table, const std::string& name) {
  for (const CommandOption& option : table.options) {
    if (name == option.name)
      return &option;
  }
  return nullptr;
}

std::string Position(std::size_t at) {
  return "argument " + std::to_string(at);
}

// The usage's words after the command name: operands, then options.
std::vector<std::string> UsageWords(const CommandTable& table, const CommandWord& command) {
  std::vector<std::string> words;
  if (*command.operands != '\0')
    words.emplace_back(command.operands);
  for (const CommandOption& option : table.options) {
    if (option.listed && Takes(option, command))
      words.push_back(std::string("[--") + option.name +
                      (option.value != nullptr ? std::string(" ") + option.value : "") + "]");
  }
  return words;
}

} // namespace

bool CommandLine::Has(const char* name) const {
  for (const auto& option : options) {
    if (option.first == name)
      return true;
  }
  return false;
}

std::string CommandLine::Value(const char* name) const {
  for (const auto& option : options) {
    if (option.first == name)
      return option.second;
  }
  return {};
}

bool AnswerHelpOrVersion(const std::vector<std::string>& args, const std::string& usage) {
  const std::string word = args.size() > 1 ? args[1] : std::string();
  if (word == "help" || word == "--help" || word == "-h" || word == "/?")
    ConsoleWrite(stdout, usage);
  else if (word == "--version")
    ConsoleWrite(stdout, std::string(kConsoleProgram) + " " OSTREL_VERSION "\n");
  else
    return false;
  return true;
}

std::string ParseCommandLine(const CommandTable& table, const std::vector<std::string>& args,
                             CommandLine& line) {
  const std::string word = args.size() > 1 ? args[1] : std::string();
  for (const CommandWord& command : table.commands) {
    if (word == command.name)
      line.command = &command;
  }
  if (word.empty())
    return args.size() > 1 ? Position(1) + " is empty" : "no command given";
  if (line.command == nullptr)
    return "unknown command '" + word + "'";
  const CommandWord& command = *line.command;
  bool optionsEnd = false;
  for (std::size_t i = 2; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.empty())
      return Position(i) + " is empty";
    if (optionsEnd || arg.compare(0, 2, "--") != 0) {
      line.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnd = true;
      continue;
    }
    const CommandOption* option = FindOption(table, arg.substr(2));
    if (option == nullptr || !Takes(*option, command))
      return "unknown option '" + arg + "' for " + command.name;
    if (line.Has(option->name))
      return "'" + arg + "' is given twice";
    std::string value;
    if (option->value != nullptr) {
      if (i + 1 == args.size() || args[i + 1].compare(0, 2, "--") == 0)
        return "'" + arg + "' needs a value";
      value = args[++i];
      if (value.empty())
        return "'" + arg + "' needs a value; " + Position(i) + " is empty";
    }
    line.options.emplace_back(option->name, value);
  }
  if (line.operands.size() > command.operandCount)
    return "unexpected '" + line.operands[command.operandCount] + "'";
  if (line.operands.size() < command.operandCount)
    return std::string(command.name) + " needs " + command.operands;
  return {};
}

std::string CommandUsage(const CommandTable& table) {
  std::string text;
  const std::string program = std::string(table.program) + " ";
  for (std::size_t i = 0; i < table.commands.size(); ++i) {
    const CommandWord& command = table.commands[i];
    const std::vector<std::string> words = UsageWords(table, command);
    std::string names = command.name;
    while (i + 1 < table.commands.size() &&
           std::strcmp(table.commands[i + 1].operands, command.operands) == 0 &&
           UsageWords(table, table.commands[i + 1]) == words)
      names += std::string("|") + table.commands[++i].name;
    std::string line = std::string(text.empty() ? "usage: " : "       ") + program + names;
    const std::string indent(line.size() + 1, ' ');
    for (const std::string& usageWord : words) {
      if (line.size() + 1 + usageWord.size() >= kUsageColumns) {
        text += line + "\n";
        line = indent + usageWord;
      } else {
        line += " " + usageWord;
      }
    }
    text += line + "\n";
  }
  return text + "       " + program + "help | --help | -h | /?\n       " + program + "--version\n";
}
