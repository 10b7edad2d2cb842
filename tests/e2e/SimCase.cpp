#include "tests/e2e/SimCase.h"

#include "files/WideText.h"
#include "session/WaitSetting.h"
#include "tests/support/WindowHelpers.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>

// Wide, since a test may leave names that are not in the ANSI code page.
void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE)
    return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..")
      continue;
    const std::wstring path = folder + L"\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      RemoveTree(path);
    else
      ::DeleteFileW(path.c_str());
  } while (::FindNextFileW(find, &entry));
  ::FindClose(find);
  ::RemoveDirectoryW(folder.c_str());
}

SimCase::SimCase() {
  char temp[MAX_PATH];
  ::GetTempPathA(sizeof temp, temp);
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string root = std::string(temp) + "ostrel-e2e";
  ::CreateDirectoryA(root.c_str(), nullptr);
  // Parameterised tests have '/' in their names.
  std::string name = std::string(test->test_suite_name()) + "." + test->name();
  std::replace(name.begin(), name.end(), '/', '_');
  m_folder = root + "\\" + name;
  std::wstring folder;
  std::string error;
  if (WidePath(m_folder, folder, error))
    RemoveTree(folder);
  ::CreateDirectoryA(m_folder.c_str(), nullptr);
  // The programs keep their copies and history here, apart from every other case's.
  ::SetEnvironmentVariableA("LOCALAPPDATA", Path("appdata").c_str());
  ::SetEnvironmentVariableA(kDialogWaitVariable, nullptr);
}

SimCase::~SimCase() {
  if (::testing::Test::HasFailure())
    return;
  std::wstring folder;
  std::string error;
  if (WidePath(m_folder, folder, error))
    RemoveTree(folder);
}

bool SimCase::WaitAtGate(std::size_t count) const {
  return WaitUntil([&] { return TraceCount("GATE ") >= count; });
}

void SimCase::ShortenDialogWait(unsigned ms) const {
  ::SetEnvironmentVariableA(kDialogWaitVariable, std::to_string(ms).c_str());
}

std::string SimCase::WriteProfile(const std::string& lines, const std::string& name) const {
  const std::string path = Path(name);
  std::ofstream(path, std::ios::binary) << lines << "\ntrace = trace.txt\n";
  return path;
}

// Lines read "[1234] WriteLocalPIB 16384 1"; one without the id keeps process 0.
std::vector<std::pair<unsigned long, std::string>> SimCase::TraceByProcess() const {
  std::vector<std::pair<unsigned long, std::string>> calls;
  for (const std::string& line : ReadLines(Path("trace.txt"))) {
    const std::size_t close = line.find("] ");
    const bool hasId = line.size() > 1 && line[0] == '[' && close != std::string::npos &&
                       close > 1 && line.find_first_not_of("0123456789", 1) == close;
    calls.emplace_back(hasId ? std::stoul(line.substr(1, close - 1)) : 0,
                       hasId ? line.substr(close + 2) : line);
  }
  return calls;
}

std::vector<std::string> SimCase::Trace() const {
  std::vector<std::string> lines;
  for (auto& call : TraceByProcess())
    lines.push_back(std::move(call.second));
  return lines;
}

std::size_t SimCase::TraceCount(const std::string& prefix) const {
  const std::vector<std::string> trace = Trace();
  return std::count_if(trace.begin(), trace.end(),
                       [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
}

// Beside this test program.
std::string SimCase::ProgramExe(const char* name, LibraryBuild build) {
  char path[MAX_PATH];
  const std::string self(path, ::GetModuleFileNameA(nullptr, path, sizeof path));
  return self.substr(0, self.find_last_of("\\/")) +
         (build == LibraryBuild::Stdcall ? "\\stdcall\\" : "\\") + name;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

const SimLayout kSimLayouts[3] = {
    {"7420-1.3", "INT7420-MAC-1.0.12-SIM", true},
    {"7420-1.4", "INT7420-MAC-1.1.3-SIM", true},
    {"7500", "QCA7500-MAC-2.3.1-SIM", false},
};

std::string LayoutAndBuildName(const ::testing::TestParamInfo<LayoutAndBuild>& info) {
  std::string name = std::get<0>(info.param).name;
  for (char& c : name)
    c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return "L" + name + "_" + LibraryBuildName(std::get<1>(info.param));
}

std::string QcaProfile(const SimLayout& layout, const std::string& extra) {
  return std::string("family = 1\nimage = image.nvm\nfirmware = ") + layout.firmware +
         "\ncreate = " + layout.name + "\n" + extra;
}

void ExpectImageState(const SimLayout& layout, const SimCase& sim, const char* state) {
  const std::string pibtool = SimCase::ProgramExe("pibtool.exe");
  const std::string image =
      " --layout " + std::string(layout.name) + " \"" + sim.Path("image.nvm") + "\"";
  int exitCode = -1;
  const std::string opened = RunProgram(pibtool, "open" + image, exitCode);
  EXPECT_EQ(exitCode, 0) << opened;
  EXPECT_EQ(opened.rfind("open: 0", 0), 0u) << opened;
  const std::string got = RunProgram(pibtool, "get" + image, exitCode);
  EXPECT_EQ(exitCode, 0) << got;
  EXPECT_EQ(got.substr(0, got.find_first_of("\r\n")), state);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return SplitLines({std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()});
}

std::string RunProgram(const std::string& exe, const std::string& arguments, int& exitCode,
                       std::string* errors) {
  exitCode = -1;
  // The pipe's write end is inheritable until the program has started with
  // it: a program that another thread starts meanwhile would inherit it too,
  // and this run's output would not end before that program did.
  static std::mutex starting;
  std::unique_lock<std::mutex> startingLock(starting);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0))
    return {};
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  // Standard error apart goes to a file of its own: a second pipe could fill
  // while the first is being read.
  HANDLE errorFile = INVALID_HANDLE_VALUE;
  if (errors != nullptr) {
    wchar_t folder[MAX_PATH], name[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"err", 0, name);
    errorFile = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = errorFile != INVALID_HANDLE_VALUE ? errorFile : writeEnd;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  std::wstring application;
  std::wstring commandLine;
  PROCESS_INFORMATION process{};
  const BOOL started = (errors == nullptr || errorFile != INVALID_HANDLE_VALUE) &&
                       WideFromUtf8(exe, application) &&
                       WideFromUtf8("\"" + exe + "\" " + arguments, commandLine) &&
                       ::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr,
                                        TRUE, 0, nullptr, nullptr, &startup, &process);
  ::CloseHandle(writeEnd);
  startingLock.unlock();
  std::string output;
  if (started) {
    char buffer[512];
    DWORD got = 0;
    while (::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
      output.append(buffer, got);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    exitCode = static_cast<int>(code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    if (errors != nullptr) {
      ::SetFilePointer(errorFile, 0, nullptr, FILE_BEGIN);
      while (::ReadFile(errorFile, buffer, sizeof buffer, &got, nullptr) && got > 0)
        errors->append(buffer, got);
    }
  }
  if (errorFile != INVALID_HANDLE_VALUE)
    ::CloseHandle(errorFile);
  ::CloseHandle(readEnd);
  return output;
}

::testing::internal::ParamGenerator<UnusualPath> EveryUnusualPath() {
  std::string nested = "папка";
  while (nested.size() < 300)
    nested += "\\フォルダ-" + std::string(30, 'x');
  return ::testing::Values(UnusualPath{"CyrillicAndJapanese", "Образы\\画像", "образ-イメージ"},
                           UnusualPath{"LongerThanMaxPath", nested, "образ-イメージ"});
}

::testing::AssertionResult MakeFolders(const SimCase& sim, const std::string& folders) {
  for (std::size_t end = folders.find('\\');; end = folders.find('\\', end + 1)) {
    const std::string folder = sim.Path(folders.substr(0, end));
    std::wstring wide;
    std::string error;
    if (!WidePath(folder, wide, error) || !::CreateDirectoryW(wide.c_str(), nullptr))
      return ::testing::AssertionFailure() << "cannot make " << folder << " " << error;
    if (end == std::string::npos)
      return ::testing::AssertionSuccess();
  }
}
