#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The two builds of the simulated library: entry points that leave their
// arguments to the caller, and entry points that remove them themselves.
enum class LibraryBuild { Cdecl, Stdcall };
const char* LibraryBuildName(LibraryBuild build);

// A folder of its own for one test: the simulated adapter's profile and the
// files it names, and the programs under test beside it.
class SimCase {
public:
  // An empty folder named after the running test.
  SimCase();

  std::string Path(const std::string& name) const { return m_folder + "\\" + name; }
  // Writes the profile; `lines` are `key = value` lines. Every profile also
  // names trace.txt as the trace.
  std::string WriteProfile(const std::string& lines) const;
  std::vector<std::string> Trace() const;
  // How many trace lines begin with `prefix`.
  std::size_t TraceCount(const std::string& prefix) const;

  // The folder that holds Ostrel.exe, Kelvane.dll and pibtool.exe.
  static std::string BinFolder();
  // Ostrel.exe in the folder of the library build it is to load.
  static std::string OstrelExe(LibraryBuild build = LibraryBuild::Cdecl);

private:
  std::string m_folder;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
std::vector<std::string> ReadLines(const std::string& path);
// Runs pibtool.exe with `arguments`; returns its standard output, and its
// exit code in `exitCode`.
std::string RunPibtool(const std::string& arguments, int& exitCode);
