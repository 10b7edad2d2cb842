#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// Removes everything in `folder`, leaving the folder itself.
void RemoveTree(const std::wstring& folder);

// The two builds of the simulated library: entry points that leave their
// arguments to the caller, and entry points that remove them themselves.
enum class LibraryBuild { Cdecl, Stdcall };
const char* LibraryBuildName(LibraryBuild build);
inline auto EveryLibraryBuild() {
  return ::testing::Values(LibraryBuild::Cdecl, LibraryBuild::Stdcall);
}
std::string LibraryBuildTestName(const ::testing::TestParamInfo<LibraryBuild>& info);

// A folder of its own for one test: the simulated adapter's profile and the
// files it names, and the programs under test beside it.
class SimCase {
public:
  // An empty folder named after the running test; the programs it starts
  // keep their data (LOCALAPPDATA) in its folder appdata.
  SimCase();

  std::string Path(const std::string& name) const { return m_folder + "\\" + name; }
  // Writes the profile `name`; `lines` are `key = value` lines. Every profile
  // also names trace.txt as the trace.
  std::string WriteProfile(const std::string& lines, const std::string& name = "adapter.sim") const;
  // The trace's lines without the process id that begins each.
  std::vector<std::string> Trace() const;
  // The trace's lines with the id of the process that made each call.
  std::vector<std::pair<unsigned long, std::string>> TraceByProcess() const;
  // How many trace lines begin with `prefix`.
  std::size_t TraceCount(const std::string& prefix) const;

  // The folder that holds Ostrel.exe, Kelvane.dll and pibtool.exe.
  static std::string BinFolder();
  // A program of the build, in the folder of the library build it is to load.
  static std::string ProgramExe(const char* name, LibraryBuild build = LibraryBuild::Cdecl);
  static std::string OstrelExe(LibraryBuild build = LibraryBuild::Cdecl) {
    return ProgramExe("Ostrel.exe", build);
  }

private:
  std::string m_folder;
};

// The layouts of the simulated adapter's images, with a firmware text that
// selects each, and whether its strategy resets the adapter after a write.
struct SimLayout {
  const char* name;
  const char* firmware;
  bool resets;
};
extern const SimLayout kSimLayouts[3];
// Every layout against each library build, and a test name for each pair,
// such as "L7420_1_3_cdecl".
using LayoutAndBuild = std::tuple<SimLayout, LibraryBuild>;
inline auto EveryLayoutAndBuild() {
  return ::testing::Combine(::testing::ValuesIn(kSimLayouts), EveryLibraryBuild());
}
std::string LayoutAndBuildName(const ::testing::TestParamInfo<LayoutAndBuild>& info);
// A profile of a Qualcomm Atheros adapter whose image is image.nvm.
std::string QcaProfile(const SimLayout& layout, const std::string& extra);
// pibtool accepts the case's image.nvm as a whole, and it reads as `state`.
void ExpectImageState(const SimLayout& layout, const SimCase& sim, const char* state);

std::vector<uint8_t> ReadBytes(const std::string& path);
std::vector<std::string> ReadLines(const std::string& path);
// The lines of a program's output, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);
// Runs `exe` with `arguments`, both UTF-8, through the wide command line;
// returns its standard output and standard error as they came, and its exit
// code in `exitCode`.
// With `errors`, standard error comes apart from standard output, into it.
std::string RunProgram(const std::string& exe, const std::string& arguments, int& exitCode,
                       std::string* errors = nullptr);

// Paths a Windows user may have: names no ANSI code page holds, and folders
// nested past MAX_PATH. `folders` are made under a case's folder.
struct UnusualPath {
  const char* name;
  std::string folders;
  std::string file;
};
void PrintTo(const UnusualPath& path, std::ostream* os);
::testing::internal::ParamGenerator<UnusualPath> EveryUnusualPath();
std::string UnusualPathName(const ::testing::TestParamInfo<UnusualPath>& info);
// Makes each of `folders` (separated by backslashes) in the case's folder.
::testing::AssertionResult MakeFolders(const SimCase& sim, const std::string& folders);
