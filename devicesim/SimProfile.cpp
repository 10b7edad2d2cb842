#include "devicesim/SimProfile.h"

#include "nvm/PibView.h"

#include "devicelib/DeviceRecord.h"

#include <algorithm>
#include <cstdlib>

namespace {

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r";
  const auto first = s.find_first_not_of(blanks);
  if (first == std::string::npos)
    return std::string();
  return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

bool IsAbsolute(const std::string& path) {
  return (!path.empty() && (path[0] == '/' || path[0] == '\\')) ||
         (path.size() > 1 && path[1] == ':');
}

std::string Resolve(const std::string& folder, const std::string& path) {
  if (folder.empty() || IsAbsolute(path))
    return path;
  return folder + "/" + path;
}

bool ParseInt(const std::string& value, int low, int high, int& out) {
  if (value.empty())
    return false;
  char* end = nullptr;
  const long parsed = std::strtol(value.c_str(), &end, 10);
  if (*end != '\0' || parsed < low || parsed > high)
    return false;
  out = static_cast<int>(parsed);
  return true;
}

std::vector<std::string> SplitList(const std::string& value) {
  std::vector<std::string> items;
  std::string::size_type start = 0;
  while (start <= value.size()) {
    const auto comma = std::min(value.find(',', start), value.size());
    const std::string item = Trim(value.substr(start, comma - start));
    if (!item.empty())
      items.push_back(item);
    start = comma + 1;
  }
  return items;
}

} // namespace

bool SimProfile::Fails(const char* entryPoint) const {
  return std::find(fail.begin(), fail.end(), entryPoint) != fail.end();
}

bool SimProfile::Drops(const char* entryPoint) const {
  return std::find(drop.begin(), drop.end(), entryPoint) != drop.end();
}

bool ParseSimProfile(const std::string& text, const std::string& folder, SimProfile& profile,
                     std::string& error) {
  SimProfile parsed;
  std::string::size_type start = 0;
  for (int lineNumber = 1; start < text.size(); ++lineNumber) {
    const auto newline = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, newline - start);
    start = newline + 1;
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty())
      continue;

    const auto equals = line.find('=');
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (equals == std::string::npos) {
      error = where + "expected 'key = value'";
      return false;
    }
    const std::string key = Trim(line.substr(0, equals));
    const std::string value = Trim(line.substr(equals + 1));

    if (key == "family") {
      if (!ParseInt(value, 0, 255, parsed.family)) {
        error = where + "family must be a number from 0 to 255";
        return false;
      }
    } else if (key == "firmware") {
      // Longer text would not fit the device record the program reads.
      if (value.size() > DeviceRecord::kFirmwareMaxLength) {
        error = where + "firmware must be at most " +
                std::to_string(DeviceRecord::kFirmwareMaxLength) + " characters";
        return false;
      }
      parsed.firmware = value;
    } else if (key == "image") {
      parsed.image = Resolve(folder, value);
    } else if (key == "create") {
      if (PibViewNamed(value.c_str()) == nullptr) {
        error = where + "create must be 7420-1.3, 7420-1.4 or 7500";
        return false;
      }
      parsed.create = value;
    } else if (key == "param41") {
      parsed.param41 = Resolve(folder, value);
    } else if (key == "powersave") {
      if (value != "on" && value != "off") {
        error = where + "powersave must be on or off";
        return false;
      }
      parsed.powerSaveOn = value == "on";
    } else if (key == "fail") {
      parsed.fail = SplitList(value);
    } else if (key == "drop") {
      parsed.drop = SplitList(value);
      for (const std::string& name : parsed.drop) {
        if (name != "WriteLocalPIB" && name != "ResetLocalDev" && name != "BrcmSetParam") {
          error = where + "drop takes WriteLocalPIB, ResetLocalDev and BrcmSetParam";
          return false;
        }
      }
    } else if (key == "delay_ms") {
      if (!ParseInt(value, 0, 600000, parsed.delayMs)) {
        error = where + "delay_ms must be a number of milliseconds";
        return false;
      }
    } else if (key == "trace") {
      parsed.trace = Resolve(folder, value);
    } else if (key == "pump_ms") {
      if (!ParseInt(value, 0, 600000, parsed.pumpMs)) {
        error = where + "pump_ms must be a number of milliseconds";
        return false;
      }
    } else if (key == "hang") {
      if (value != "GetLocalPIB" && value != "BrcmGetParam" && value != "WriteLocalPIB" &&
          value != "BrcmSetParam") {
        error = where + "hang takes GetLocalPIB, BrcmGetParam, WriteLocalPIB or BrcmSetParam";
        return false;
      }
      parsed.hang = value;
    } else if (key == "gate") {
      parsed.gate = SplitList(value);
    } else if (key == "gate_open") {
      parsed.gateOpen = Resolve(folder, value);
    } else {
      error = where + "unknown key '" + key + "'";
      return false;
    }
  }
  if (!parsed.gate.empty() && parsed.gateOpen.empty()) {
    error = "gate needs gate_open, the file that lets its calls go on";
    return false;
  }
  profile = parsed;
  return true;
}
