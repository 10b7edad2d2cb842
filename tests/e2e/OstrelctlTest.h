#pragma once
// ostrelctl against the simulated adapter: a console program, driven through
// its command line, its output and its exit status. What each command
// decides is tested natively (tests/ctl); these tests keep what only a
// process shows.
#include "backup/BackupFile.h"
#include "files/WideText.h"
#include "tests/e2e/SimCase.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using Lines = std::vector<std::string>;

struct CtlRun {
  int status;
  Lines lines; // standard output, then standard error
  std::string out;
  std::string err;
};

// ostrelctl with a UTF-8 command line; its standard output and standard
// error apart, so either can be checked alone.
inline CtlRun Ctl(const std::string& profile, const std::string& arguments,
                  const std::string& exe = SimCase::ProgramExe("ostrelctl.exe")) {
  ::SetEnvironmentVariableA("KELVANE_SIM", profile.c_str());
  CtlRun run{-1, {}, {}, {}};
  run.out = RunProgram(exe, arguments, run.status, &run.err);
  run.lines = SplitLines(run.out + run.err);
  return run;
}

inline std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

// What a backup file holds, decoded; fails the test when it does not decode.
inline BackupCopy Decoded(const std::string& path) {
  const std::vector<uint8_t> file = ReadBytes(path);
  BackupCopy copy;
  Fault fault;
  EXPECT_TRUE(BackupDecode(file.data(), file.size(), copy, &fault)) << path << ": " << fault.text;
  return copy;
}

inline std::string Saved(const std::string& path) {
  return "saved: " + path + " (" + std::to_string(ReadBytes(path).size()) + " bytes)";
}

// How a text reads inside ostrelctl's JSON: ASCII, its backslashes doubled,
// every other character a \u escape of its UTF-16 units.
inline std::string JsonPath(const std::string& path) {
  std::wstring wide;
  EXPECT_TRUE(WideFromUtf8(path, wide)) << path;
  std::string escaped;
  for (wchar_t c : wide) {
    char unit[8];
    std::snprintf(unit, sizeof unit, "\\u%04x", static_cast<unsigned>(c));
    escaped += c == L'\\' ? std::string("\\\\")
               : c < 0x7F ? std::string(1, static_cast<char>(c))
                          : std::string(unit);
  }
  return escaped;
}

// The files `pattern` ("FOLDER\\*.tmp") matches, as full paths, sorted: the
// automatic copies oldest first.
inline Lines FilesMatching(const std::string& pattern) {
  const std::string folder = pattern.substr(0, pattern.rfind('\\'));
  Lines paths;
  WIN32_FIND_DATAA found;
  const HANDLE search = ::FindFirstFileA(pattern.c_str(), &found);
  for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(search, &found))
    paths.push_back(folder + "\\" + found.cFileName);
  if (search != INVALID_HANDLE_VALUE)
    ::FindClose(search);
  std::sort(paths.begin(), paths.end());
  return paths;
}

// `history --json` with each record's time, which must be UTC ISO 8601, as "T".
inline std::string HistoryJson(const std::string& profile) {
  const CtlRun run = Ctl(profile, "history --json");
  EXPECT_EQ(run.status, 0) << run.err;
  std::string json = run.out;
  const std::string key = "\"time\": \"";
  for (std::size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1)) {
    const std::string time = json.substr(at + key.size(), 20);
    EXPECT_TRUE(time.size() == 20 && time[10] == 'T' && time[19] == 'Z') << time;
    json.replace(at + key.size(), 20, "T");
  }
  return json;
}
