// What Ostrel.exe carries as a file: its header flags, its imports, and the
// resources the dialogs, the shell and the installer tools read.
#include "app/resource.h"
#include "tests/e2e/SimCase.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

namespace {
uint16_t Le16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

std::string Resource(HMODULE module, const char* type, int id) {
  HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
  if (found == nullptr)
    return {};
  const auto* data = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
  return std::string(data, ::SizeofResource(module, found));
}

std::string Narrow(const uint8_t* text) {
  std::string result;
  for (; Le16(text) != 0; text += 2)
    result += static_cast<char>(Le16(text));
  return result;
}

class Resources : public ::testing::Test {
protected:
  void SetUp() override {
    m_module = ::LoadLibraryExA(SimCase::OstrelExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(m_module, nullptr);
  }
  void TearDown() override { ::FreeLibrary(m_module); }

  // Dialog template fields: style, extended style, item count, size, caption.
  struct Template {
    uint32_t style, exStyle;
    uint16_t items, cx, cy;
    std::string caption;
  };
  Template Dialog(int id) const {
    const std::string raw = Resource(m_module, MAKEINTRESOURCEA(5), id);
    const auto* bytes = reinterpret_cast<const uint8_t*>(raw.data());
    EXPECT_GT(raw.size(), 30u);
    EXPECT_EQ(Le16(bytes + 2), 0xFFFF) << "not an extended template";
    auto le32 = [&](size_t at) {
      return static_cast<uint32_t>(Le16(bytes + at) | Le16(bytes + at + 2) << 16);
    };
    // Menu and class are empty (one NUL each) in our templates.
    return {le32(12),         le32(8),          Le16(bytes + 16),
            Le16(bytes + 22), Le16(bytes + 24), Narrow(bytes + 30)};
  }

  HMODULE m_module = nullptr;
};

TEST(Executable, Is32BitGuiWithAslrAndDepImportingOnlySystemLibraries) {
  HMODULE image =
      ::LoadLibraryExA(SimCase::OstrelExe().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(image, nullptr);
  const auto* base = reinterpret_cast<const uint8_t*>(image);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  EXPECT_TRUE(nt->OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
  EXPECT_TRUE(nt->OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(imports.VirtualAddress, 0u);
  std::vector<std::string> names;
  for (const auto* entry =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       entry->Name != 0; ++entry) {
    std::string name = reinterpret_cast<const char*>(base + entry->Name);
    for (char& c : name)
      c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    names.push_back(name);
  }
  ::FreeLibrary(image);
  std::sort(names.begin(), names.end());
  // advapi32: the adapter lock's security descriptor; bcrypt: the digest of
  // the automatic copies.
  EXPECT_EQ(names,
            (std::vector<std::string>{"advapi32.dll", "bcrypt.dll", "comctl32.dll", "gdiplus.dll",
                                      "kernel32.dll", "msvcrt.dll", "user32.dll"}));
}

TEST_F(Resources, MainDialogTemplate) {
  const Template main = Dialog(IDD_OSTREL_DIALOG);
  EXPECT_EQ(main.caption, "Ostrel");
  EXPECT_EQ(main.cx, 219);
  EXPECT_EQ(main.cy, 123);
  EXPECT_EQ(main.items, 7);
  const uint32_t wanted =
      WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK | DS_SETFONT;
  EXPECT_EQ(main.style & wanted, wanted);
  EXPECT_EQ(main.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
  EXPECT_TRUE(main.exStyle & WS_EX_APPWINDOW);
}

TEST_F(Resources, AboutBoxTemplateStringAndIcon) {
  const Template about = Dialog(IDD_ABOUTBOX);
  EXPECT_EQ(about.caption, "About Ostrel");
  EXPECT_EQ(about.cx, 170);
  EXPECT_EQ(about.cy, 62);
  EXPECT_EQ(about.items, 4);
  EXPECT_TRUE(about.style & DS_FIXEDSYS);

  char text[64] = {};
  ::LoadStringA(m_module, IDS_ABOUTBOX, text, sizeof text);
  EXPECT_STREQ(text, "&About Ostrel...");

  // The icon group: one image, 128 x 128 (stored as 128), 32 bits per pixel.
  const std::string group = Resource(m_module, MAKEINTRESOURCEA(14), IDR_MAINFRAME);
  ASSERT_EQ(group.size(), 6u + 14u);
  const auto* bytes = reinterpret_cast<const uint8_t*>(group.data());
  EXPECT_EQ(Le16(bytes + 4), 1);
  EXPECT_EQ(bytes[6], 128);
  EXPECT_EQ(bytes[7], 128);
  EXPECT_EQ(Le16(bytes + 12), 32);
}

// Without a requested execution level, Windows would redirect the console
// programs' writes under protected folders into the user's VirtualStore.
TEST(Manifest, EveryProgramRunsAsInvokerAndTheDialogAsksForCommonControls6) {
  const std::vector<const char*> dialog = {"name=\"Microsoft.Windows.Common-Controls\"",
                                           "version=\"6.0.0.0\"", "processorArchitecture=\"x86\"",
                                           ">true</dpiAware>"};
  const std::pair<const char*, std::vector<const char*>> programs[] = {
      {"Ostrel.exe", dialog}, {"ostrelctl.exe", {}}, {"pibtool.exe", {}}};
  for (const auto& [program, parts] : programs) {
    HMODULE module =
        ::LoadLibraryExA(SimCase::ProgramExe(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << program;
    const std::string manifest = Resource(module, MAKEINTRESOURCEA(24), 1);
    ::FreeLibrary(module);
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\""),
              std::string::npos)
        << program << ": " << manifest;
    for (const char* part : parts)
      EXPECT_NE(manifest.find(part), std::string::npos) << program << ": " << part;
  }
}

TEST(VersionRecord, Is1001WithItsStrings) {
  const std::string exe = SimCase::OstrelExe();
  DWORD ignored = 0;
  std::vector<char> info(::GetFileVersionInfoSizeA(exe.c_str(), &ignored));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(::GetFileVersionInfoA(exe.c_str(), 0, info.size(), info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  const std::pair<const char*, const char*> strings[] = {
      {"FileDescription", "Ostrel"},  {"ProductName", "Ostrel"},
      {"InternalName", "Ostrel.exe"}, {"OriginalFilename", "Ostrel.exe"},
      {"FileVersion", "1.0.0.1"},     {"ProductVersion", "1.0.0.1"}};
  for (const auto& [key, value] : strings) {
    char* got = nullptr;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + key;
    ASSERT_TRUE(::VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&got), &size))
        << key;
    EXPECT_STREQ(got, value) << key;
  }
}
} // namespace
