#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// Removes `folder` and everything in it.
void RemoveTree(const std::wstring& folder);

// The two builds of the simulated library: entry points that leave their
// arguments to the caller, and entry points that remove them themselves.
enum class LibraryBuild { Cdecl, Stdcall };
inline const char* LibraryBuildName(LibraryBuild build) {
  return build == LibraryBuild::Stdcall ? "stdcall" : "cdecl";
}
inline auto EveryLibraryBuild() {
  return ::testing::Values(LibraryBuild::Cdecl, LibraryBuild::Stdcall);
}
inline std::string LibraryBuildTestName(const ::testing::TestParamInfo<LibraryBuild>& info) {
  return LibraryBuildName(info.param);
}

// A folder of its own for one test: the simulated adapter's profile and the
// files it names, and the programs under test beside it.
class SimCase {
public:
  // An empty folder named after the running test; the programs it starts
  // keep their data (LOCALAPPDATA) in its folder appdata.
  SimCase();
  // Removes the folder, unless the test has failed: then it is kept to look at.
  ~SimCase();
  SimCase(const SimCase&) = delete;
  SimCase& operator=(const SimCase&) = delete;

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

  // Profile lines that hold every call to `entryPoints` (comma-separated) at
  // the simulator's gate until OpenGate(); CloseGate() holds later calls again.
  static std::string Gate(const std::string& entryPoints) {
    return "gate = " + entryPoints + "\ngate_open = open.gate\n";
  }
  // Waits until `count` calls in all have reached the gate.
  bool WaitAtGate(std::size_t count = 1) const;
  void OpenGate() const { std::ofstream(Path("open.gate"), std::ios::binary); }
  void CloseGate() const { ::DeleteFileA(Path("open.gate").c_str()); }
  // Dialogs started from now on in this test give up waiting for the adapter
  // after `ms` instead of 30 s.
  void ShortenDialogWait(unsigned ms) const;

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
// Every layout against the cdecl build, and a layout whose write is followed
// by a reset against the stdcall build: the build changes how each entry point
// is called, not what a layout does, so one layout that calls them all checks
// it. A test name for each pair, such as "L7420_1_3_cdecl".
using LayoutAndBuild = std::tuple<SimLayout, LibraryBuild>;
inline auto EveryLayoutAndBuild() {
  return ::testing::Values(LayoutAndBuild{kSimLayouts[0], LibraryBuild::Cdecl},
                           LayoutAndBuild{kSimLayouts[1], LibraryBuild::Cdecl},
                           LayoutAndBuild{kSimLayouts[2], LibraryBuild::Cdecl},
                           LayoutAndBuild{kSimLayouts[1], LibraryBuild::Stdcall});
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
inline void PrintTo(const UnusualPath& path, std::ostream* os) {
  *os << path.name;
}
::testing::internal::ParamGenerator<UnusualPath> EveryUnusualPath();
inline std::string UnusualPathName(const ::testing::TestParamInfo<UnusualPath>& info) {
  return info.param.name;
}
// Makes each of `folders` (separated by backslashes) in the case's folder.
::testing::AssertionResult MakeFolders(const SimCase& sim, const std::string& folders);
