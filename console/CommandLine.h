#pragma once
// The command line of a console program: one table of commands and options,
// from which both the parser and the usage are made. Options may stand
// anywhere after the command word, each at most once; "--" ends them, so that
// an operand may begin with "--". An option's value is never empty and never
// the next option.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

struct CommandWord {
  const char* name;
  const char* operands; // as the usage shows them: "FILE", "on|off FILE"; "" for none
  std::size_t operandCount;
};

struct CommandOption {
  const char* name;     // without the leading "--"
  const char* value;    // the value's name in the usage ("FILE"); null when it takes none
  const char* commands; // the commands that take it, space-separated; null: every command
  bool listed;          // shown in the usage
};

struct CommandTable {
  const char* program;
  std::vector<CommandWord> commands;
  std::vector<CommandOption> options;
};

// What one command line asked for.
struct CommandLine {
  const CommandWord* command = nullptr;
  std::vector<std::string> operands;
  std::vector<std::pair<std::string, std::string>> options; // name, value ("" for none)

  bool Has(const char* name) const;
  // The option's value; empty when it was not given.
  std::string Value(const char* name) const;
};

// Writes `usage` for a first word of "help", "--help", "-h" or "/?", and the
// program's name and version for "--version"; false, having written nothing,
// for any other word.
bool AnswerHelpOrVersion(const std::vector<std::string>& args, const std::string& usage);

// Parses `args`: the program, the command word, then options and operands.
// Returns what is wrong, naming the word, or an empty text.
std::string ParseCommandLine(const CommandTable& table, const std::vector<std::string>& args,
                             CommandLine& line);

// One line a command, commands that take the same operands and options joined
// as "on|off", each wrapped to fit 80 columns; then the help and version lines.
std::string CommandUsage(const CommandTable& table);
