#include "ctl/CtlOptions.h"

#include <cstdlib>

namespace {

// What an option sets: a text, or a flag to a value.
struct OptionBinding {
  CommandOption option;
  std::string CtlOptions::*text;
  bool CtlOptions::*flag;
  bool value;
};

const OptionBinding kOptions[] = {
    {{"backup", "FILE", "on off", true}, &CtlOptions::backup, nullptr, false},
    {{"replace", nullptr, "on off backup", true}, nullptr, &CtlOptions::replace, true},
    {{"force", nullptr, "on off restore undo", true}, nullptr, &CtlOptions::force, true},
    {{"verify", nullptr, "on off restore undo", false}, nullptr, &CtlOptions::verifyAsked, true},
    {{"no-verify", nullptr, "on off restore undo", true}, nullptr, &CtlOptions::verify, false},
    {{"no-copy", nullptr, "on off restore undo", true}, nullptr, &CtlOptions::copy, false},
    {{"json", nullptr, nullptr, true}, nullptr, &CtlOptions::json, true},
    {{"wait", "SECONDS", "status on off backup restore undo", true},
     &CtlOptions::wait,
     nullptr,
     false},
};

bool ParseSeconds(const std::string& text, unsigned& seconds) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || text[0] < '0' || text[0] > '9' || *end != '\0' || value > kMaxWaitSeconds)
    return false;
  seconds = static_cast<unsigned>(value);
  return true;
}

} // namespace

std::vector<CommandOption> CtlOptionTable() {
  std::vector<CommandOption> options;
  for (const OptionBinding& binding : kOptions)
    options.push_back(binding.option);
  return options;
}

std::string ReadCtlOptions(const CommandLine& line, CtlOptions& options) {
  if (!line.operands.empty())
    options.file = line.operands[0];
  for (const OptionBinding& binding : kOptions) {
    if (!line.Has(binding.option.name))
      continue;
    if (binding.text != nullptr)
      options.*binding.text = line.Value(binding.option.name);
    else
      options.*binding.flag = binding.value;
  }
  // Read-back is the default; asking for it and against it contradicts.
  if (options.verifyAsked && !options.verify)
    return "'--verify' and '--no-verify' contradict each other";
  // On a switch, --replace says what the backup file may do.
  if (options.replace && options.backup.empty() && line.command->operandCount == 0)
    return "'--replace' needs '--backup FILE'";
  if (line.Has("wait") && !ParseSeconds(options.wait, options.waitSeconds))
    return "'--wait " + options.wait + "': give whole seconds, at most " +
           std::to_string(kMaxWaitSeconds);
  return {};
}

bool JsonAsked(const std::vector<std::string>& args) {
  for (std::size_t i = 2; i < args.size() && args[i] != "--"; ++i) {
    if (args[i] == "--json")
      return true;
  }
  return false;
}

std::string CtlWaitUsage() {
  return "SECONDS is 0 to " + std::to_string(kMaxWaitSeconds) + ", " +
         std::to_string(kAdapterWaitSeconds) + " by default.\n";
}
