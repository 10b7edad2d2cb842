// The simulated device library, loaded and bound the way the program binds the
// real one, driven through its profile.

#include "devicelib/KelvaneCalls.h"
#include "devicelib/KelvaneLibrary.h"
#include "devicesim/SimFile.h"
#include "nvm/NvmImageBuilder.h"
#include "nvm/PibView.h"
#include "powersave/CPowerSaveBCMCMMOp.h"
#include "powersave/PowerSaveEdit.h"
#include "powersave/PowerSaveSelection.h"

#include "PowerSaveFields.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// The simulated library, loaded once for every test here.
KelvaneLibrary& Library() {
  static KelvaneLibrary library;
  return library;
}

DeviceCalls& Kelvane() {
  return Library().Calls();
}

class KelvaneSim : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
#ifdef _WIN32
    const KelvaneLoadResult loaded = Library().Load(); // Kelvane.dll beside this program
#else
    const KelvaneLoadResult loaded = Library().Load(KELVANE_SIM_LIBRARY);
#endif
    ASSERT_EQ(loaded, KelvaneLoadResult::Loaded) << KelvaneLoadResultText(loaded);
  }

  static unsigned long ProcessId() {
#ifdef _WIN32
    return ::GetCurrentProcessId();
#else
    return static_cast<unsigned long>(::getpid());
#endif
  }

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // A folder of this run's own: another run of these tests may be going on.
    m_dir = fs::temp_directory_path() /
            ("ostrel-sim-" + std::to_string(ProcessId()) + "-" + info->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }

  void TearDown() override {
    UsePath("");
    fs::remove_all(m_dir);
  }

  static void UsePath(const std::string& value) {
#ifdef _WIN32
    _putenv_s("KELVANE_SIM", value.c_str());
#else
    if (value.empty())
      unsetenv("KELVANE_SIM");
    else
      setenv("KELVANE_SIM", value.c_str(), 1);
#endif
  }

  void UseProfile(const std::string& text) {
    const fs::path profile = m_dir / "adapter.profile";
    std::ofstream(profile) << text;
    UsePath(profile.string());
  }

  std::string Read(const std::string& name) const {
    std::ifstream in(m_dir / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // The trace without the process ids that begin its lines, each of which
  // must be this process's: the library runs inside its caller.
  std::string Trace(const std::string& name) const {
    const std::string prefix = "[" + std::to_string(ProcessId()) + "] ";
    std::istringstream lines(Read(name));
    std::string calls;
    for (std::string line; std::getline(lines, line);) {
      EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
      calls += line.substr(line.rfind(prefix, 0) == 0 ? prefix.size() : 0) + "\n";
    }
    return calls;
  }

  // Polls the trace for up to five seconds until it holds `text`.
  bool WaitForTrace(const std::string& name, const std::string& text) const {
    for (int i = 0; i < 500; ++i) {
      if (Read(name).find(text) != std::string::npos)
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  fs::path m_dir;
};

TEST_F(KelvaneSim, ExportsTheSevenCalledEntryPoints) {
  EXPECT_NE(Library().EntryPoints().GetPLCType, nullptr);
  EXPECT_NE(Library().EntryPoints().GetLocalDevInfo, nullptr);
  EXPECT_NE(Library().EntryPoints().GetLocalPIB, nullptr);
  EXPECT_NE(Library().EntryPoints().WriteLocalPIB, nullptr);
  EXPECT_NE(Library().EntryPoints().ResetLocalDev, nullptr);
  EXPECT_NE(Library().EntryPoints().BrcmGetParam, nullptr);
  EXPECT_NE(Library().EntryPoints().BrcmSetParam, nullptr);
  EXPECT_EQ(Library().EntryPoints().SetQosData, nullptr);
  EXPECT_EQ(Library().Load(), KelvaneLoadResult::Loaded); // a second load finds the library loaded
}

TEST_F(KelvaneSim, BuiltInAdapterIsA7420WithFirmware11KeepingItsImageInMemory) {
  UsePath("");
  EXPECT_EQ(Kelvane().GetPLCType() & 0xFF, 1);
  DeviceRecord record;
  ASSERT_NE(Kelvane().GetLocalDevInfo(record), 0);
  EXPECT_EQ(std::string(record.Firmware()), "7420-1.1.0-SIM"); // NUL-ended, not 162 characters
  PowerSaveSlot slot;
  ASSERT_EQ(SelectPowerSaveOp(Kelvane(), slot), AdapterFamily::QualcommAtheros);
  ASSERT_TRUE(slot);
  EXPECT_EQ(slot->GetPowerSave(), 0);
  ASSERT_TRUE(slot->SetPowerSave(1));
  EXPECT_EQ(slot->GetPowerSave(), 1);
  ASSERT_TRUE(slot->SetPowerSave(0));
}

TEST_F(KelvaneSim, ProfileIsReadAfreshAtEveryDetection) {
  UseProfile("family = 2\n");
  EXPECT_EQ(Kelvane().GetPLCType(), 2);
  UseProfile("family = 0\n");
  EXPECT_EQ(Kelvane().GetPLCType(), 0);
}

TEST_F(KelvaneSim, UnusableProfileMeansNoAdapter) {
  UseProfile("family = 2\nthis is not a setting\n");
  EXPECT_EQ(Kelvane().GetPLCType(), 0);
  BrcmParamReply reply;
  EXPECT_EQ(Kelvane().BrcmGetParam(reply, 41), 0);
  UsePath((m_dir / "missing.profile").string());
  EXPECT_EQ(Kelvane().GetPLCType(), 0);
}

TEST_F(KelvaneSim, BroadcomParameterIsSwitchedInItsFileAndTraced) {
  UseProfile("family = 2\nparam41 = p41.bin\npowersave = on\ntrace = trace.log\n");
  ASSERT_EQ(Kelvane().GetPLCType(), 2);
  CPowerSaveBCMCMMOp op(Kelvane());
  EXPECT_EQ(op.GetPowerSave(), 1);
  ASSERT_TRUE(op.SetPowerSave(0));
  EXPECT_EQ(op.GetPowerSave(), 0);

  // Bit 15 alone changed: the lead byte, bit 0 and the second element survive.
  const std::string stored = Read("p41.bin");
  EXPECT_EQ(stored, std::string("\x01\x02\x02\x00\x01\x00\x34\x12", 8));
  EXPECT_EQ(Trace("trace.log"), "GetPLCType\nBrcmGetParam 41\nBrcmGetParam 41\nBrcmSetParam\n"
                                "BrcmGetParam 41\n");
}

TEST_F(KelvaneSim, FailingEntryPointsChangeNothing) {
  UseProfile("family = 2\nparam41 = p41.bin\nfail = BrcmSetParam\n");
  ASSERT_EQ(Kelvane().GetPLCType(), 2);
  CPowerSaveBCMCMMOp op(Kelvane());
  ASSERT_EQ(op.GetPowerSave(), 0);
  const std::string before = Read("p41.bin");
  EXPECT_FALSE(op.SetPowerSave(1));
  EXPECT_EQ(Read("p41.bin"), before);

  UseProfile("family = 2\nfail = GetPLCType\n");
  EXPECT_EQ(Kelvane().GetPLCType(), 0);
}

TEST_F(KelvaneSim, AGatedCallWaitsUntilItsFileIsMade) {
  UseProfile("family = 2\ngate = BrcmGetParam\ngate_open = open\ntrace = trace.log\n");
  ASSERT_EQ(Kelvane().GetPLCType(), 2);
  std::atomic<bool> returned{false};
  std::thread gated([&] {
    BrcmParamReply reply;
    Kelvane().BrcmGetParam(reply, 41);
    returned = true;
  });
  ASSERT_TRUE(WaitForTrace("trace.log", "GATE BrcmGetParam"));
  EXPECT_EQ(Kelvane().GetPLCType(), 2) << "other entry points go on";
  EXPECT_FALSE(returned);
  std::ofstream(m_dir / "open");
  gated.join();
  // Once the file is there, calls pass the gate without waiting; a call made
  // while another runs is traced as an overlap, calls one after another not.
  BrcmParamReply reply;
  EXPECT_EQ(Kelvane().BrcmGetParam(reply, 41), 1);
  EXPECT_EQ(Trace("trace.log"), "GetPLCType\nGATE BrcmGetParam\nOVERLAP GetPLCType\nGetPLCType\n"
                                "BrcmGetParam 41\nBrcmGetParam 41\n");
}

#ifdef _WIN32
// The hung call below never ends, and the library's detach at process exit
// waits for it; so this program ends as Ostrel.exe does, without detach code,
// once every report is written (listeners hear the end last-added first).
class EndWithoutDetach : public ::testing::EmptyTestEventListener {
  void OnTestProgramEnd(const ::testing::UnitTest& unitTest) override {
    std::fflush(nullptr);
    ::TerminateProcess(::GetCurrentProcess(), unitTest.Passed() ? 0 : 1);
  }
};
const bool g_endsWithoutDetach =
    (::testing::UnitTest::GetInstance()->listeners().Append(new EndWithoutDetach), true);
#endif

TEST_F(KelvaneSim, AHangingEntryPointIsTracedAndLeavesOtherCallsWorking) {
  UseProfile("family = 2\nhang = BrcmGetParam\ntrace = trace.log\n");
  ASSERT_EQ(Kelvane().GetPLCType(), 2);
  // Never joined: the call does not return.
  static BrcmParamReply hungReply;
  std::thread([] { Kelvane().BrcmGetParam(hungReply, 41); }).detach();
  WaitForTrace("trace.log", "HANG");
  EXPECT_EQ(Kelvane().GetPLCType(), 2);
  std::vector<unsigned char> image(kNvmImageBufferSize);
  EXPECT_EQ(Kelvane().GetLocalPIB(image.data()), 1);
  EXPECT_EQ(Trace("trace.log"), "GetPLCType\nHANG BrcmGetParam\nGetPLCType\nGetLocalPIB\n");
}

#ifdef _WIN32
int g_ticks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) {
  ++g_ticks;
}

TEST_F(KelvaneSim, ReadingEntryPointsPumpTheCallersMessages) {
  UseProfile("family = 1\npump_ms = 200\n");
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &CountTick);
  ASSERT_NE(timer, 0u);
  Kelvane().GetPLCType();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Kelvane().GetPLCType();
  EXPECT_EQ(g_ticks, 0) << "only GetLocalPIB and BrcmGetParam pump";
  std::vector<unsigned char> image(kNvmImageBufferSize);
  EXPECT_EQ(Kelvane().GetLocalPIB(image.data()), 1);
  const int afterImage = g_ticks;
  EXPECT_GT(afterImage, 0);
  BrcmParamReply reply;
  EXPECT_EQ(Kelvane().BrcmGetParam(reply, 41), 1);
  EXPECT_GT(g_ticks, afterImage);
  ::KillTimer(nullptr, timer);
}
#endif

TEST_F(KelvaneSim, FilesAreReplacedWhole) {
  const std::string path = (m_dir / "state.bin").string();
  ASSERT_TRUE(SimReplaceFile(path, {1, 2, 3, 4}));
  ASSERT_TRUE(SimReplaceFile(path, {9}));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(SimReadFile(path, bytes));
  EXPECT_EQ(bytes, std::vector<uint8_t>{9});
  EXPECT_FALSE(SimFileExists(path + ".tmp"));
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

struct QcaCase {
  const char* layout;
  const char* firmware;
};

// The longest text a device record holds, with the chip named at its very end:
// the program and the adapter both see it.
const std::string kLongest7500Firmware =
    std::string(DeviceRecord::kFirmwareMaxLength - 4, '-') + "7500";

class KelvaneSimQca : public KelvaneSim, public ::testing::WithParamInterface<QcaCase> {
protected:
  std::vector<uint8_t> Image() const {
    const std::string bytes = Read("image.nvm");
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  }

  // The state the image file reads as through its layout's view, or 2.
  uint16_t FileState() const {
    std::vector<uint8_t> image = Image();
    PibHandle handle;
    return PowerSaveRead(*PibViewNamed(GetParam().layout), handle, image.data(),
                         static_cast<uint32_t>(image.size()));
  }

  void UseAdapter(const std::string& extra = "") {
    UseProfile(std::string("family = 1\nfirmware = ") + GetParam().firmware +
               "\nimage = image.nvm\ncreate = " + GetParam().layout + "\ntrace = trace.log\n" +
               extra);
  }
};

TEST_P(KelvaneSimQca, SwitchesAFreshImageBothWays) {
  UseAdapter();
  PowerSaveSlot slot;
  ASSERT_EQ(SelectPowerSaveOp(Kelvane(), slot), AdapterFamily::QualcommAtheros);
  ASSERT_TRUE(slot);
  EXPECT_EQ(slot->GetPowerSave(), 0);
  const std::vector<uint8_t> created = Image();
  const NvmImageBuilder layoutOf(PibViewNamed(GetParam().layout)->Layout(), false);
  ASSERT_EQ(created.size(), layoutOf.image.size());

  ASSERT_TRUE(slot->SetPowerSave(1));
  EXPECT_EQ(FileState(), 1);
  EXPECT_EQ(slot->GetPowerSave(), 1);
  EXPECT_EQ(ChangedOutsidePowerSaveFields(layoutOf, created, Image()), "");

  ASSERT_TRUE(slot->SetPowerSave(0));
  EXPECT_EQ(FileState(), 0);
  EXPECT_EQ(ChangedOutsidePowerSaveFields(layoutOf, created, Image()), "");
  EXPECT_NE(
      Trace("trace.log").find("WriteLocalPIB " + std::to_string(layoutOf.WriteLength()) + " 1\n"),
      std::string::npos);
}

TEST_P(KelvaneSimQca, AFailingEntryPointLeavesTheImageAsItWas) {
  for (const char* failing : {"GetLocalPIB", "WriteLocalPIB"}) {
    UseAdapter();
    PowerSaveSlot slot;
    ASSERT_EQ(SelectPowerSaveOp(Kelvane(), slot), AdapterFamily::QualcommAtheros);
    ASSERT_EQ(slot->GetPowerSave(), 0);
    const std::vector<uint8_t> before = Image();
    ASSERT_FALSE(before.empty());
    UseAdapter(std::string("fail = ") + failing + "\n");
    ASSERT_EQ(SelectPowerSaveOp(Kelvane(), slot), AdapterFamily::QualcommAtheros);
    EXPECT_FALSE(slot->SetPowerSave(1)) << failing;
    EXPECT_EQ(Image(), before) << failing;
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, KelvaneSimQca,
                         ::testing::Values(QcaCase{"7420-1.3", "MAC-7420-1.0.12-SIM"},
                                           QcaCase{"7420-1.4", "MAC-7420-1.1.3-SIM"},
                                           QcaCase{"7500", "MAC-7500-2.1.0-SIM"},
                                           QcaCase{"7500", kLongest7500Firmware.c_str()}),
                         [](const auto& info) {
                           std::string name = info.param.layout;
                           for (char& c : name)
                             if (c == '-' || c == '.')
                               c = '_';
                           return "Layout" + name + "_" + std::to_string(info.index);
                         });

TEST_F(KelvaneSim, ImagesThatDoNotFitTheBufferAreRefused) {
  UseProfile("family = 1\nimage = big.nvm\n");
  std::ofstream(m_dir / "big.nvm", std::ios::binary) << std::string(16385, 'x');
  ASSERT_EQ(Kelvane().GetPLCType(), 1);
  std::vector<unsigned char> buffer(16384);
  EXPECT_EQ(Kelvane().GetLocalPIB(buffer.data()), 0);
  EXPECT_EQ(Kelvane().WriteLocalPIB(buffer.data(), 0), 0);
  EXPECT_EQ(Kelvane().WriteLocalPIB(buffer.data(), 16385), 0);
  EXPECT_EQ(Read("big.nvm").size(), 16385u);
  UseProfile("family = 1\nimage = missing.nvm\n");
  EXPECT_EQ(Kelvane().GetLocalPIB(buffer.data()), 0) << "no image and nothing to create";
}

#if defined(_WIN32) && defined(__i386__)
// How many bytes of arguments `entry` removes from the stack itself when it is
// called with one argument: 0 for cdecl, 4 for __stdcall.
uint32_t ArgumentBytesRemoved(const void* entry) {
  uint32_t moved;
  __asm__ volatile("movl %%esp, %%esi\n\t"
                   "pushl $0\n\t"
                   "call *%1\n\t"
                   "movl %%esp, %0\n\t"
                   "subl %%esi, %0\n\t"
                   "movl %%esi, %%esp"
                   : "=&r"(moved)
                   : "r"(entry)
                   : "eax", "ecx", "edx", "esi", "memory", "cc");
  return moved + 4;
}

TEST_F(KelvaneSim, TheStdcallBuildRemovesItsOwnArgumentsUnderPlainNames) {
  const void* cdeclEntry = nullptr;
  std::memcpy(&cdeclEntry, &Library().EntryPoints().ResetLocalDev, sizeof cdeclEntry);
  EXPECT_EQ(ArgumentBytesRemoved(cdeclEntry), 0u);

  char exe[MAX_PATH];
  const std::string path(exe, ::GetModuleFileNameA(nullptr, exe, sizeof exe));
  const std::string stdcallDll = path.substr(0, path.find_last_of('\\')) + "\\stdcall\\Kelvane.dll";
  HMODULE stdcallBuild = ::LoadLibraryA(stdcallDll.c_str());
  ASSERT_NE(stdcallBuild, nullptr) << stdcallDll;
  const void* stdcallEntry =
      reinterpret_cast<const void*>(::GetProcAddress(stdcallBuild, "ResetLocalDev"));
  ASSERT_NE(stdcallEntry, nullptr);
  EXPECT_NE(stdcallEntry, cdeclEntry);
  EXPECT_EQ(ArgumentBytesRemoved(stdcallEntry), 4u);
}
#endif

} // namespace
