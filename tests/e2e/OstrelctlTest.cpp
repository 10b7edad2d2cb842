// ostrelctl against the simulated adapter: a console program, driven through
// its command line, its output and its exit status.
#include "app/resource.h"
#include "backup/BackupFile.h"
#include "files/WideText.h"
#include "nvm/NvmHeader.h"
#include "nvm/NvmImageBuilder.h"
#include "nvm/PibAddress.h"
#include "nvm/PibView.h"
#include "tests/e2e/OstrelSession.h"
#include "tests/e2e/SimCase.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>
#include <tuple>

namespace {

using Lines = std::vector<std::string>;

struct CtlRun {
  int status;
  Lines lines; // standard output, then standard error
  std::string out;
  std::string err;
};

// ostrelctl with a UTF-8 command line; its standard output and standard
// error apart, so either can be checked alone.
CtlRun Ctl(const std::string& profile, const std::string& arguments,
           const std::string& exe = SimCase::ProgramExe("ostrelctl.exe")) {
  ::SetEnvironmentVariableA("KELVANE_SIM", profile.c_str());
  CtlRun run{-1, {}, {}, {}};
  run.out = RunProgram(exe, arguments, run.status, &run.err);
  run.lines = SplitLines(run.out + run.err);
  return run;
}

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// The same facts as lines for a person and, with --json, as one object on
// standard output and nothing else there.
TEST(Ostrelctl, StatusNamesTheFamilyFirmwareStrategyAndState) {
  SimCase sim;
  const struct {
    std::string profile;
    int status;
    Lines lines;
    std::string json;
  } cases[] = {
      {"family = 2\nparam41 = p41.bin\npowersave = on",
       0,
       {"family: broadcom", "strategy: broadcom", "power-save: on"},
       R"({"family": "broadcom", "firmware": null, "strategy": "broadcom", "power_save": "on"})"},
      {QcaProfile(kSimLayouts[0], "powersave = on"),
       0,
       {"family: qualcomm-atheros", "firmware: INT7420-MAC-1.0.12-SIM", "strategy: 7420-1.0",
        "power-save: on"},
       R"({"family": "qualcomm-atheros", "firmware": "INT7420-MAC-1.0.12-SIM", )"
       R"("strategy": "7420-1.0", "power_save": "on"})"},
      {"family = 1\nfirmware = QCA7500 \"2.3\\1\"\tSIM\nimage = i7500.nvm\ncreate = 7500",
       0,
       {"family: qualcomm-atheros", "firmware: QCA7500 \"2.3\\1\"\\x09SIM", "strategy: 7500",
        "power-save: off"},
       R"({"family": "qualcomm-atheros", "firmware": "QCA7500 \"2.3\\1\"\u0009SIM", )"
       R"("strategy": "7500", "power_save": "off"})"},
      {"family = 1\nfirmware = INT7420-MAC-2.0.1-SIM",
       0,
       {"family: qualcomm-atheros", "firmware: INT7420-MAC-2.0.1-SIM", "strategy: none",
        "power-save: unavailable"},
       R"({"family": "qualcomm-atheros", "firmware": "INT7420-MAC-2.0.1-SIM", )"
       R"("strategy": "none", "power_save": "unavailable"})"},
      {QcaProfile(kSimLayouts[1], "fail = GetLocalPIB"),
       1,
       {"family: qualcomm-atheros", "firmware: INT7420-MAC-1.1.3-SIM", "strategy: 7420-1.1",
        "power-save: unavailable",
        "ostrelctl: the 7420-1.1 strategy cannot read the adapter's power-save state"},
       R"({"family": "qualcomm-atheros", "firmware": "INT7420-MAC-1.1.3-SIM", )"
       R"("strategy": "7420-1.1", "power_save": "unavailable", )"
       R"("error": "the 7420-1.1 strategy cannot read the adapter's power-save state", )"
       R"("error_code": "state_unreadable"})"},
      {"family = 1\nfail = GetLocalDevInfo",
       1,
       {"family: qualcomm-atheros", "ostrelctl: the adapter's device record cannot be read"},
       R"({"family": "qualcomm-atheros", "error": "the adapter's device record cannot be read", )"
       R"("error_code": "record_unread"})"},
      {"family = 0",
       3,
       {"ostrelctl: no adapter found"},
       R"({"error": "no adapter found", "error_code": "no_adapter"})"},
  };
  for (const auto& c : cases) {
    const std::string profile = sim.WriteProfile(c.profile);
    CtlRun run = Ctl(profile, "status");
    EXPECT_EQ(run.status, c.status) << c.profile;
    EXPECT_EQ(run.lines, c.lines) << c.profile;
    run = Ctl(profile, "status --json");
    EXPECT_EQ(run.status, c.status) << c.profile;
    EXPECT_EQ(run.out, c.json + "\r\n") << c.profile;
    EXPECT_EQ(run.err, "") << c.profile;
  }
}

// What a backup file holds, decoded; fails the test when it does not decode.
BackupCopy Decoded(const std::string& path) {
  const std::vector<uint8_t> file = ReadBytes(path);
  BackupCopy copy;
  Fault fault;
  EXPECT_TRUE(BackupDecode(file.data(), file.size(), copy, &fault)) << path << ": " << fault.text;
  return copy;
}

std::string Saved(const std::string& path) {
  return "saved: " + path + " (" + std::to_string(ReadBytes(path).size()) + " bytes)";
}

// How a text reads inside ostrelctl's JSON: ASCII, its backslashes doubled,
// every other character a \u escape of its UTF-16 units.
std::string JsonPath(const std::string& path) {
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

// The file version of the version record, "1.0.0.1".
std::string ProgramVersion() {
  const std::string exe = SimCase::OstrelExe();
  std::vector<char> info(::GetFileVersionInfoSizeA(exe.c_str(), nullptr));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  if (info.empty() ||
      !::GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data()) ||
      !::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &size))
    return "?";
  return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(fixed->dwFileVersionLS));
}

// The case's automatic copies, oldest first, as full paths.
Lines AutoCopies(const SimCase& sim) {
  const std::string folder = sim.Path("appdata\\Ostrel\\copies");
  Lines paths;
  WIN32_FIND_DATAA found;
  const HANDLE search = ::FindFirstFileA((folder + "\\*.ostrel").c_str(), &found);
  for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(search, &found))
    paths.push_back(folder + "\\" + found.cFileName);
  if (search != INVALID_HANDLE_VALUE)
    ::FindClose(search);
  std::sort(paths.begin(), paths.end());
  return paths;
}

// `history --json` with each record's time, which must be UTC ISO 8601, as "T".
std::string HistoryJson(const std::string& profile) {
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

// The first ten keys of a record as `history --json` gives it, its time as
// "T"; the id, the digests and what it undoes follow.
std::string HistoryRecordJson(const char* program, const char* action, const char* family,
                              const std::string& address, const std::string& firmware,
                              const char* before, const char* after, const char* result,
                              const std::string& copy) {
  const auto text = [](const std::string& value) {
    return value.empty() ? std::string("null") : "\"" + JsonPath(value) + "\"";
  };
  return std::string("{\"time\": \"T\", \"program\": \"") + program + "\", \"action\": \"" +
         action + "\", \"family\": \"" + family + "\", \"address\": " + text(address) +
         ", \"firmware\": " + text(firmware) + ", \"before\": \"" + before + "\", \"after\": \"" +
         after + "\", \"result\": \"" + result + "\", \"copy\": " + text(copy) + ", \"id\": ";
}

class OstrelctlQca : public ::testing::TestWithParam<LayoutAndBuild> {
protected:
  const SimLayout& layout = std::get<0>(GetParam());
  const std::string exe = SimCase::ProgramExe("ostrelctl.exe", std::get<1>(GetParam()));
};

TEST_P(OstrelctlQca, SwitchesBothWaysWithBackupAndReadBackThenRestoresTheBackup) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(layout, "powersave = off"));
  ASSERT_EQ(Ctl(profile, "status", exe).status, 0);
  const std::vector<uint8_t> before = ReadBytes(sim.Path("image.nvm"));
  const std::string backup = sim.Path("backup.ostrel");

  CtlRun run = Ctl(profile, "on --backup " + Quoted(backup), exe);
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.lines.size(), 5u);
  EXPECT_EQ(run.lines[0], Saved(backup));
  EXPECT_EQ(run.lines[1], std::string("layout: ") + layout.name);
  EXPECT_EQ(run.lines[3], "Enable device power save success!");
  EXPECT_EQ(run.lines[4], "verified: on");
  const BackupCopy copy = Decoded(backup);
  EXPECT_EQ(copy.bytes, before);
  EXPECT_EQ(copy.firmware, layout.firmware);
  EXPECT_EQ(copy.layout, layout.name);
  ExpectImageState(layout, sim, "on");

  run = Ctl(profile, "off --verify", exe);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines, (Lines{"Disable device power save success!", "verified: off"}));
  ExpectImageState(layout, sim, "off");

  ASSERT_EQ(Ctl(profile, "on --no-verify", exe).lines, Lines{"Enable device power save success!"});
  run = Ctl(profile, "restore " + Quoted(backup), exe);
  EXPECT_EQ(run.status, 0) << run.lines.front();
  ASSERT_EQ(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[1].rfind("verified: ", 0), 0u);
  EXPECT_EQ(ReadBytes(sim.Path("image.nvm")), before);
  EXPECT_EQ(sim.TraceCount("WriteLocalPIB "), 4u);
  EXPECT_EQ(sim.TraceCount("ResetLocalDev 0"), layout.resets ? 4u : 0u);
  // The library runs inside each ostrelctl, never in this test.
  for (const auto& [process, call] : sim.TraceByProcess()) {
    EXPECT_NE(process, 0ul) << call;
    EXPECT_NE(process, ::GetCurrentProcessId()) << call;
  }
}

// Every write keeps a copy of the image as it was before, by either program.
// Undo walks back through the history: each undo puts back, byte for byte,
// the image before the newest change not yet undone, passes over a write
// that changed nothing, and says so when nothing is left.
TEST_P(OstrelctlQca, UndoWalksBackThroughEveryChange) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(layout, "powersave = off"));
  ASSERT_EQ(Ctl(profile, "status", exe).status, 0);
  const std::vector<uint8_t> off = ReadBytes(sim.Path("image.nvm"));
  EXPECT_EQ(Ctl(profile, "on", exe).lines,
            (Lines{"Enable device power save success!", "verified: on"}));
  const std::vector<uint8_t> on = ReadBytes(sim.Path("image.nvm"));
  {
    // A change, then OK on the state the adapter already has.
    OstrelSession ostrel(SimCase::OstrelExe(std::get<1>(GetParam())), profile);
    ASSERT_TRUE(ostrel.WaitForFirstScan());
    ostrel.Click(IDC_RADIO_OFF);
    ostrel.Click(IDOK);
    ostrel.Click(IDOK);
    EXPECT_TRUE(ostrel.WaitForLog(std::string(kScannedOn) +
                                  "\r\nDisable device power save success!"
                                  "\r\nDisable device power save success!"));
  }
  // The dialog's edit sets every power-save field, so its "off" image need
  // not be the one the adapter started with.
  const std::vector<uint8_t> offAgain = ReadBytes(sim.Path("image.nvm"));
  CtlRun undo = Ctl(profile, "undo", exe);
  EXPECT_EQ(undo.status, 0) << undo.err;
  ASSERT_FALSE(undo.lines.empty());
  EXPECT_EQ(undo.lines[0].rfind("passed over: ", 0), 0u) << undo.lines[0];
  EXPECT_NE(undo.lines[0].find(": it changed nothing"), std::string::npos) << undo.lines[0];
  EXPECT_EQ(ReadBytes(sim.Path("image.nvm")), on);
  undo = Ctl(profile, "undo", exe);
  EXPECT_EQ(undo.status, 0) << undo.err;
  EXPECT_EQ(ReadBytes(sim.Path("image.nvm")), off);
  undo = Ctl(profile, "undo", exe);
  EXPECT_EQ(undo.status, 1);
  EXPECT_EQ(undo.lines.back(),
            "ostrelctl: no change of this adapter is left to undo; nothing written");
  EXPECT_EQ(ReadBytes(sim.Path("image.nvm")), off);

  const Lines copies = AutoCopies(sim);
  ASSERT_EQ(copies.size(), 5u);
  const std::vector<uint8_t>* held[] = {&off, &on, &offAgain, &offAgain, &on};
  for (std::size_t i = 0; i < copies.size(); ++i)
    EXPECT_EQ(Decoded(copies[i]).bytes, *held[i]) << copies[i];
  const std::string address = AddressText(Decoded(copies[0]).address).text;
  const std::string history = HistoryJson(profile);
  const auto record = [&](const char* program, const char* action, const char* before,
                          const char* after, const char* result, std::size_t copy) {
    return HistoryRecordJson(program, action, "qualcomm-atheros", address, layout.firmware, before,
                             after, result, copies[copy]);
  };
  std::size_t at = 0;
  for (const std::string& expected : {record("ostrelctl", "on", "off", "on", "done", 0),
                                      record("Ostrel.exe", "off", "on", "off", "unverified", 1),
                                      record("Ostrel.exe", "off", "off", "off", "unverified", 2),
                                      record("ostrelctl", "undo", "off", "on", "done", 3),
                                      record("ostrelctl", "undo", "on", "off", "done", 4)}) {
    at = history.find(expected, at);
    EXPECT_NE(at, std::string::npos) << expected << "\n" << history;
  }
}

// Restore writes nothing and says what differed unless the copy is whole,
// this adapter's, and opens once laid over the adapter's present image.
// What it refuses depends on the layout, not on the library's build.
class OstrelctlQcaLayout : public OstrelctlQca {};

TEST_P(OstrelctlQcaLayout, RestoreRefusesACopyThatCouldLeaveTheAdapterWorse) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(layout, "powersave = on"));
  const std::string backup = sim.Path("backup.ostrel");
  ASSERT_EQ(Ctl(profile, "backup " + Quoted(backup), exe).status, 0);
  const std::vector<uint8_t> good = ReadBytes(backup);
  const BackupCopy copy = Decoded(backup);
  const PibLayout& pib = PibViewNamed(layout.name)->Layout();

  // Any byte changed, between the images too.
  std::vector<uint8_t> damaged = good;
  damaged[good.size() - 40] ^= 1;
  WriteBytes(sim.Path("damaged.ostrel"), damaged);
  // Another adapter: the same image but for the address.
  NvmImageBuilder other(pib, true);
  other.Pib()[12 + 5] ^= 0x40;
  other.Seal();
  // The adapter's image ends with its PIB; the copy's chain goes on past it.
  NvmImageBuilder shorter(pib, true);
  shorter.SetHeaderField(shorter.PibHeader(), kNvmNextHeader, 0xFFFFFFFF);
  shorter.Seal();
  std::fill(shorter.image.begin() + shorter.LastHeader(), shorter.image.end(), 0xFF);
  BackupCopy otherFirmware = copy;
  otherFirmware.firmware = "INT7420-MAC-9.9.9";
  WriteBytes(sim.Path("firmware.ostrel"), BackupEncode(otherFirmware));

  const struct {
    const char* file;
    const std::vector<uint8_t>* adapter; // the image the adapter holds; null: as saved
    const char* options;
    const char* says;
  } cases[] = {
      // One file that does not decode stands for every such fault, each of
      // which the backup format's own tests tell apart.
      {"damaged.ostrel", nullptr, "", "the file is damaged"},
      {"firmware.ostrel", nullptr, "", "the firmware \"INT7420-MAC-9.9.9\", this adapter runs"},
      {"backup.ostrel", &other.image, " --force", ", this adapter is "},
      {"backup.ostrel", &shorter.image, "", "its chain reaches past what would be written"},
  };
  for (const auto& c : cases) {
    if (c.adapter != nullptr)
      WriteBytes(sim.Path("image.nvm"), *c.adapter);
    const std::vector<uint8_t> held = ReadBytes(sim.Path("image.nvm"));
    const CtlRun run = Ctl(profile, "restore " + Quoted(sim.Path(c.file)) + c.options, exe);
    EXPECT_EQ(run.status, 1) << c.file;
    ASSERT_EQ(run.lines.size(), 1u) << c.file;
    EXPECT_NE(run.lines[0].find(c.says), std::string::npos) << run.lines[0];
    EXPECT_EQ(ReadBytes(sim.Path("image.nvm")), held) << c.file;
  }
  EXPECT_EQ(sim.TraceCount("WriteLocalPIB"), 0u);

  // The user's own good copy still repairs an image that does not open,
  // once forced.
  std::vector<uint8_t> unreadable = copy.bytes;
  unreadable[NvmImageBuilder(pib, true).PibOffset() + 100] ^= 1;
  WriteBytes(sim.Path("image.nvm"), unreadable);
  CtlRun run = Ctl(profile, "restore " + Quoted(backup), exe);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.lines.at(0).find("its address cannot be compared"), std::string::npos);
  run = Ctl(profile, "restore " + Quoted(backup) + " --force", exe);
  EXPECT_EQ(run.status, 0) << run.lines.at(0);
  EXPECT_EQ(ReadBytes(sim.Path("image.nvm")), copy.bytes);
  // Recorded under the address of the image it wrote, the copy's.
  const std::string restored = "\"action\": \"restore\", \"family\": \"qualcomm-atheros\", "
                               "\"address\": \"" +
                               std::string(AddressText(copy.address).text) + "\"";
  EXPECT_NE(HistoryJson(profile).find(restored), std::string::npos) << restored;
}

INSTANTIATE_TEST_SUITE_P(Layouts, OstrelctlQca, EveryLayoutAndBuild(), LayoutAndBuildName);
INSTANTIATE_TEST_SUITE_P(Layouts, OstrelctlQcaLayout, EveryLayout(), LayoutAndBuildName);

class OstrelctlBroadcom : public ::testing::TestWithParam<LibraryBuild> {
protected:
  const std::string exe = SimCase::ProgramExe("ostrelctl.exe", GetParam());
};

TEST_P(OstrelctlBroadcom, SwitchesBothWaysAndRestoresTheParameter) {
  SimCase sim;
  const std::string profile = sim.WriteProfile("family = 2\nparam41 = p41.bin\npowersave = on");
  ASSERT_EQ(Ctl(profile, "status", exe).status, 0);
  const std::vector<uint8_t> before = ReadBytes(sim.Path("p41.bin"));
  const std::string backup = sim.Path("p41.ostrel");

  CtlRun run = Ctl(profile, "off --backup " + Quoted(backup) + " --verify", exe);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines,
            (Lines{Saved(backup), "Disable device power save success!", "verified: off"}));
  const BackupCopy saved = Decoded(backup);
  ASSERT_EQ(saved.bytes.size(), 1500u);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), saved.bytes.begin()));
  EXPECT_EQ(Ctl(profile, "on", exe).lines.back(), "verified: on");
  ASSERT_EQ(Ctl(profile, "off", exe).status, 0);

  run = Ctl(profile, "restore " + Quoted(backup), exe);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines,
            (Lines{"restored: " + backup + " (" + std::to_string(before.size()) + " bytes written)",
                   "verified: " + std::to_string(before.size()) + " bytes"}));
  EXPECT_EQ(ReadBytes(sim.Path("p41.bin")), before);
  // Undo puts back what the restore wrote over: the parameter switched off.
  ASSERT_EQ(Ctl(profile, "undo", exe).status, 0);
  EXPECT_EQ(Ctl(profile, "status", exe).lines.back(), "power-save: off");
  const std::string undone = HistoryRecordJson("ostrelctl", "undo", "broadcom", "", "", "on", "off",
                                               "done", AutoCopies(sim).back());
  EXPECT_NE(HistoryJson(profile).find(undone), std::string::npos) << undone;
}

// Undo refuses, writing nothing, when the change's copy is not what the
// write started from (each way a copy is refused is decided natively), or
// when the adapter changed since: another
// program edited the image, or another adapter is attached. --force puts
// back the change's copy all the same, through restore's checks, but only
// onto the adapter it was taken from: another Broadcom adapter's parameter
// is left alone, and the user is pointed to restore FILE --force.
TEST(OstrelctlUndo, RefusesWhatItCannotProveAndForceRestores) {
  const struct {
    const char* label;
    bool broadcom;
    void (*spoil)(SimCase& sim, const std::string& copy);
    const char* refusal; // the end of the error line
    bool forceRestores;
  } cases[] = {
      {"copy damaged", false,
       [](SimCase&, const std::string& copy) {
         std::vector<uint8_t> bytes = ReadBytes(copy);
         bytes[bytes.size() / 2] ^= 1;
         WriteBytes(copy, bytes);
       },
       "nothing written", false},
      {"image put back by another tool", false,
       [](SimCase& sim, const std::string& copy) {
         WriteBytes(sim.Path("image.nvm"), Decoded(copy).bytes);
       },
       "--force restores that write's copy; nothing written", true},
      {"another adapter's parameter", true,
       [](SimCase& sim, const std::string&) {
         std::vector<uint8_t> param = ReadBytes(sim.Path("p41.bin"));
         param[6] ^= 0x5a;
         WriteBytes(sim.Path("p41.bin"), param);
       },
       "--force restores that write's copy; nothing written", false},
  };
  for (const auto& c : cases) {
    SimCase sim;
    const std::string profile =
        sim.WriteProfile(c.broadcom ? "family = 2\nparam41 = p41.bin\npowersave = on"
                                    : QcaProfile(kSimLayouts[1], "powersave = on"));
    const std::string held = c.broadcom ? "p41.bin" : "image.nvm";
    ASSERT_EQ(Ctl(profile, "status").status, 0) << c.label;
    const std::vector<uint8_t> before = ReadBytes(sim.Path(held));
    ASSERT_EQ(Ctl(profile, "off").status, 0) << c.label;
    const Lines copies = AutoCopies(sim);
    ASSERT_EQ(copies.size(), 1u) << c.label;
    c.spoil(sim, copies[0]);
    const std::vector<uint8_t> spoiled = ReadBytes(sim.Path(held));
    CtlRun run = Ctl(profile, "undo");
    EXPECT_EQ(run.status, 1) << c.label;
    ASSERT_FALSE(run.lines.empty()) << c.label;
    const std::string& line = run.lines.back();
    EXPECT_EQ(line.substr(line.size() - std::min(line.size(), std::strlen(c.refusal))), c.refusal)
        << c.label << ": " << line;
    EXPECT_EQ(ReadBytes(sim.Path(held)), spoiled) << c.label;
    if (std::strstr(c.refusal, "--force") == nullptr)
      continue;
    run = Ctl(profile, "undo --force --json");
    EXPECT_EQ(run.status, c.forceRestores ? 0 : 1) << c.label << ": " << run.out;
    EXPECT_NE(run.out.find(c.forceRestores ? "\"undoes\": \"" : "\"record\": \""),
              std::string::npos)
        << c.label << ": " << run.out;
    if (!c.forceRestores) {
      EXPECT_NE(run.out.find("restore FILE --force writes a copy you choose; nothing written"),
                std::string::npos)
          << c.label << ": " << run.out;
      EXPECT_EQ(ReadBytes(sim.Path(held)), spoiled) << c.label;
      continue;
    }
    const std::vector<uint8_t> after = ReadBytes(sim.Path(held));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin())) << c.label;
  }
}

// A copy of another shape, or of no data, would reshape or wipe the parameter.
TEST_P(OstrelctlBroadcom, RestoreRefusesACopyThatWouldReshapeOrWipeTheParameter) {
  SimCase sim;
  const std::string profile = sim.WriteProfile("family = 2\nparam41 = p41.bin\npowersave = on");
  const std::string backup = sim.Path("p41.ostrel");
  ASSERT_EQ(Ctl(profile, "backup " + Quoted(backup), exe).status, 0);
  BackupCopy copy = Decoded(backup);
  copy.bytes[2] = 3; // element count
  WriteBytes(sim.Path("count.ostrel"), BackupEncode(copy));
  std::fill(copy.bytes.begin(), copy.bytes.end(), 0);
  WriteBytes(sim.Path("zero.ostrel"), BackupEncode(copy));
  WriteBytes(sim.Path("zero.bin"), std::vector<uint8_t>(4, 0));
  const std::vector<uint8_t> before = ReadBytes(sim.Path("p41.bin"));
  for (const char* file : {"count.ostrel", "zero.ostrel", "zero.bin"}) {
    const CtlRun run = Ctl(profile, "restore " + Quoted(sim.Path(file)), exe);
    EXPECT_EQ(run.status, 1) << file;
    EXPECT_EQ(run.lines.size(), 1u) << file;
  }
  EXPECT_EQ(ReadBytes(sim.Path("p41.bin")), before);
  EXPECT_EQ(sim.TraceCount("BrcmSetParam"), 0u);

  // An empty parameter is no copy: nothing is saved.
  WriteBytes(sim.Path("p41.bin"), {1, 2, 0, 0});
  const CtlRun run = Ctl(profile, "backup " + Quoted(sim.Path("empty.ostrel")), exe);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(::GetFileAttributesA(sim.Path("empty.ostrel").c_str()), INVALID_FILE_ATTRIBUTES);
}

INSTANTIATE_TEST_SUITE_P(Builds, OstrelctlBroadcom, EveryLibraryBuild(), LibraryBuildTestName);

class Ostrelctl : public ::testing::TestWithParam<LibraryBuild> {
protected:
  const std::string exe = SimCase::ProgramExe("ostrelctl.exe", GetParam());
};

// A copy is saved only once checked, never over another file unless forced,
// through a temporary file of its own; nothing else in the folder changes.
TEST_P(Ostrelctl, ABackupIsCheckedFirstAndReplacesNothingUnlessForced) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off"));
  const std::string backup = sim.Path("notes");
  WriteBytes(sim.Path("notes.tmp"), {'k', 'e', 'e', 'p'});
  ASSERT_EQ(Ctl(profile, "backup " + Quoted(backup), exe).status, 0);
  const std::vector<uint8_t> first = ReadBytes(backup);

  // --force is for the adapter's checks; only --replace replaces a file.
  CtlRun run = Ctl(profile, "on --backup " + Quoted(backup) + " --force", exe);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.lines, Lines{"ostrelctl: " + backup +
                             ": already exists; --replace replaces it; nothing written"});
  EXPECT_EQ(sim.TraceCount("WriteLocalPIB"), 0u);
  EXPECT_EQ(ReadBytes(backup), first);

  // An image that does not open is not saved, and the good copy stays.
  std::vector<uint8_t> broken = ReadBytes(sim.Path("image.nvm"));
  broken[NvmImageBuilder(kPibLayout74201D4, false).PibOffset() + 100] ^= 1;
  WriteBytes(sim.Path("image.nvm"), broken);
  run = Ctl(profile, "backup " + Quoted(backup) + " --replace", exe);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadBytes(backup), first);

  const std::string missing = sim.Path("no such folder\\backup.ostrel");
  WriteBytes(sim.Path("image.nvm"), Decoded(backup).bytes);
  run = Ctl(profile, "on --backup " + Quoted(missing), exe);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.lines.at(0).rfind("ostrelctl: " + missing + ": cannot save the copy: ", 0), 0u);
  EXPECT_EQ(sim.TraceCount("WriteLocalPIB"), 0u);

  run = Ctl(profile, "backup --replace " + Quoted(backup), exe);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadBytes(sim.Path("notes.tmp")), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  WIN32_FIND_DATAA entry;
  HANDLE find = ::FindFirstFileA(sim.Path("*").c_str(), &entry);
  std::vector<std::string> names;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      names.push_back(entry.cFileName);
  } while (::FindNextFileA(find, &entry));
  ::FindClose(find);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Lines{"adapter.sim", "image.nvm", "notes", "notes.tmp", "trace.txt"}));
}

// Every write is read back unless --no-verify says otherwise.
TEST_P(Ostrelctl, AWriteRefusedOrNotKeptIsStatusOne) {
  SimCase sim;
  CtlRun run = Ctl(sim.WriteProfile(QcaProfile(kSimLayouts[1], "fail = WriteLocalPIB")), "on", exe);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.lines, Lines{"Enable device power save fail!"});
  // The adapter took the write and only the reset failed: the setting waits
  // for its next restart, which is no refusal.
  run = Ctl(sim.WriteProfile(QcaProfile(kSimLayouts[1], "fail = ResetLocalDev")), "on --json", exe);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "{\"written\": true, \"reset\": false, \"error\": \"power save on was "
                     "written, but the reset after it failed; the adapter takes it at its next "
                     "restart\", \"error_code\": \"reset_failed\"}\r\n");
  ExpectImageState(kSimLayouts[1], sim, "on");

  const std::string backup = sim.Path("backup.ostrel");
  const std::string dropping = sim.WriteProfile(QcaProfile(kSimLayouts[1], "drop = WriteLocalPIB"));
  WriteBytes(sim.Path("image.nvm"), NvmImageBuilder(kPibLayout74201D4, true).image);
  ASSERT_EQ(Ctl(dropping, "backup " + Quoted(backup), exe).status, 0);
  run = Ctl(dropping, "off", exe);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.lines,
            Lines{"ostrelctl: verify: the write was sent, and the adapter still reads on"});
  EXPECT_EQ(Ctl(dropping, "off --no-verify", exe).status, 0);

  NvmImageBuilder changed(kPibLayout74201D4, true);
  changed.Pib()[kPibLayout74201D4.powerSaveBlock] ^= 0x10;
  changed.Seal();
  WriteBytes(sim.Path("image.nvm"), changed.image);
  run = Ctl(dropping, "restore " + Quoted(backup), exe);
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.lines.size(), 1u);
  // The first byte that differs, with both values.
  const std::vector<uint8_t> written = Decoded(backup).bytes;
  const auto differs = std::mismatch(written.begin(), written.end(), changed.image.begin());
  char expected[128];
  std::snprintf(expected, sizeof expected,
                "ostrelctl: verify: the adapter's copy differs at byte %u: 0x%02x written, 0x%02x "
                "read",
                static_cast<unsigned>(differs.first - written.begin()), *differs.first,
                *differs.second);
  EXPECT_EQ(run.lines[0], expected);
}

// A switch to the state the adapter already has writes nothing and resets
// nothing unless forced.
TEST_P(Ostrelctl, AnAdapterAlreadyInTheStateIsNotWrittenUnlessForced) {
  SimCase sim;
  const std::string qca = sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off"));
  CtlRun run = Ctl(qca, "off", exe);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines, Lines{"power-save: already off; nothing written"});
  run = Ctl(qca, "off --json", exe);
  EXPECT_EQ(run.out, "{\"written\": false, \"power_save\": \"off\"}\r\n");
  EXPECT_EQ(sim.TraceCount("WriteLocalPIB") + sim.TraceCount("ResetLocalDev"), 0u);
  run = Ctl(qca, "off --force", exe);
  EXPECT_EQ(run.lines, (Lines{"Disable device power save success!", "verified: off"}));
  EXPECT_EQ(sim.TraceCount("WriteLocalPIB"), 1u);
  EXPECT_EQ(sim.TraceCount("ResetLocalDev"), 1u);

  const std::string broadcom = sim.WriteProfile("family = 2\nparam41 = p41.bin\npowersave = on");
  EXPECT_EQ(Ctl(broadcom, "on", exe).lines, Lines{"power-save: already on; nothing written"});
  EXPECT_EQ(sim.TraceCount("BrcmSetParam"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Builds, Ostrelctl, OneLibraryBuild(), LibraryBuildTestName);

// The device's firmware text and a backup file's fields are shown the same
// way wherever they appear, and never drive the terminal: control characters
// escaped, the code page's characters as themselves, JSON in ASCII.
TEST(Ostrelctl, TextFromTheDeviceOrAFileCannotDriveTheTerminal) {
  SimCase sim;
  const std::string firmware = "INT7420-MAC-1.1.3-\x1b]0;owned\x07\x1b[2J\xe9";
  const std::string profile = sim.WriteProfile("family = 1\nfirmware = " + firmware +
                                               "\nimage = image.nvm\ncreate = 7420-1.4");
  wchar_t e = 0;
  ASSERT_EQ(::MultiByteToWideChar(CP_ACP, 0, "\xe9", 1, &e, 1), 1);
  const std::string shown =
      "INT7420-MAC-1.1.3-\\x1b]0;owned\\x07\\x1b[2J" + Utf8FromWide(std::wstring(1, e));
  CtlRun run = Ctl(profile, "status");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.lines.at(1), "firmware: " + shown);
  run = Ctl(profile, "status --json");
  char unit[8];
  std::snprintf(unit, sizeof unit, "\\u%04x", static_cast<unsigned>(e));
  EXPECT_NE(run.out.find(R"("firmware": "INT7420-MAC-1.1.3-\u001b]0;owned\u0007\u001b[2J)" +
                         std::string(unit) + "\""),
            std::string::npos)
      << run.out;

  // A backup of that adapter, restored to one that runs other firmware.
  const std::string backup = sim.Path("копия.ostrel");
  ASSERT_EQ(Ctl(profile, "backup " + Quoted(backup)).status, 0);
  run = Ctl(sim.WriteProfile(QcaProfile(kSimLayouts[1], "")), "restore --json " + Quoted(backup));
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(std::all_of(run.out.begin(), run.out.end(), [](char c) {
    return (c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n';
  })) << run.out;
  EXPECT_NE(run.out.find(JsonPath(backup)), std::string::npos) << run.out;
  run = Ctl(sim.WriteProfile(QcaProfile(kSimLayouts[1], "")), "restore " + Quoted(backup));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("\"" + shown + "\""), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
}

// An argument with an unpaired surrogate has no exact UTF-8 form; any stand-in
// could name another file, so it is a usage error and nothing is saved.
TEST(Ostrelctl, AnArgumentThatIsNotUnicodeTextIsAUsageError) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[1], ""));
  ::SetEnvironmentVariableA("KELVANE_SIM", profile.c_str());
  std::wstring exe, folder;
  ASSERT_TRUE(WideFromUtf8(SimCase::ProgramExe("ostrelctl.exe"), exe));
  ASSERT_TRUE(WideFromUtf8(sim.Path(""), folder));
  std::wstring line = L"\"" + exe + L"\" backup \"" + folder + L"a" + wchar_t(0xD800) + L"b\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  EXPECT_EQ(code, 2u);
  EXPECT_EQ(sim.Trace(), Lines{});
}

// Every command says what it did as one JSON object, failures included.
TEST(Ostrelctl, JsonSaysWhatEachCommandDid) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[2], "powersave = off"));
  const std::string backup = sim.Path("b.ostrel");
  CtlRun run = Ctl(profile, "on --json --backup " + Quoted(backup));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  for (const std::string& member :
       {"\"saved\": \"" + JsonPath(backup) + "\"", std::string("\"layout\": \"7500\""),
        std::string("\"written\": true"), std::string("\"verified\": true"),
        std::string("\"power_save\": \"on\"")})
    EXPECT_NE(run.out.find(member), std::string::npos) << member << " in " << run.out;
  EXPECT_EQ(run.lines.size(), 1u);

  run = Ctl(profile, "restore --json " + Quoted(backup));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("{\"restored\": \"" + JsonPath(backup) + "\", \"bytes\": ", 0), 0u)
      << run.out;
  EXPECT_NE(run.out.find("\"verified\": true}"), std::string::npos) << run.out;

  run = Ctl(profile, "backup --json " + Quoted(backup));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "{\"error\": \"" + JsonPath(backup) +
                         ": already exists; --replace replaces it; nothing saved\", "
                         "\"error_code\": \"backup_exists\"}\r\n");
  EXPECT_EQ(run.err, "");
}

// help and --version answer on standard output; a wrong word is named on
// standard error with the usage after it, and nothing reaches the adapter.
TEST(Ostrelctl, HelpVersionAndUsageErrors) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off"));
  for (const char* help : {"help", "--help", "-h", "/?"}) {
    const CtlRun run = Ctl(profile, help);
    EXPECT_EQ(run.status, 0) << help;
    EXPECT_EQ(run.out.rfind("usage: ostrelctl status", 0), 0u) << help;
    EXPECT_NE(run.out.find("ostrelctl restore FILE"), std::string::npos) << help;
    EXPECT_EQ(run.err, "") << help;
  }
  CtlRun run = Ctl(profile, "--version");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "ostrelctl " + ProgramVersion() + "\r\n");

  const struct {
    const char* arguments;
    const char* says;
  } wrong[] = {
      {"", "no command given"},
      {"frob", "unknown command 'frob'"},
      {"on --frob", "unknown option '--frob' for on"},
      {"status --force", "unknown option '--force' for status"},
      {"status extra", "unexpected 'extra'"},
      {"backup", "backup needs FILE"},
      {"on --backup --verify", "'--backup' needs a value"},
      {"on --verify --verify", "'--verify' is given twice"},
      {"on --verify --no-verify", "'--verify' and '--no-verify' contradict each other"},
      {"status --wait x", "'--wait x': give whole seconds, at most 86400"},
      {"off --backup \"\"", "'--backup' needs a value; argument 3 is empty"},
      {"off \"--backup force\"", "unknown option '--backup force' for off"},
      {"backup \"\"", "argument 2 is empty"},
      {"restore \"\"", "argument 2 is empty"},
      {"backup x --force", "unknown option '--force' for backup"},
      {"on --replace", "'--replace' needs '--backup FILE'"},
  };
  for (const auto& w : wrong) {
    run = Ctl(profile, w.arguments);
    EXPECT_EQ(run.status, 2) << w.arguments;
    EXPECT_EQ(run.out, "") << w.arguments;
    const Lines errors = SplitLines(run.err);
    ASSERT_GE(errors.size(), 2u) << w.arguments;
    EXPECT_EQ(errors[0], std::string("ostrelctl: ") + w.says);
    EXPECT_EQ(errors[1].rfind("usage: ostrelctl status", 0), 0u) << w.arguments;
  }
  EXPECT_EQ(sim.Trace(), Lines{});
}

TEST(OstrelctlLock, TwoRunsTakeTurnsAndAThirdGivesUpAfterItsWait) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(
      QcaProfile(kSimLayouts[1], "powersave = off\n" + SimCase::Gate("GetLocalPIB")));
  sim.OpenGate();
  ASSERT_EQ(Ctl(profile, "status --wait 0").status, 0);
  sim.CloseGate();
  CtlRun on, off;
  std::thread first([&] { on = Ctl(profile, "on"); });
  ASSERT_TRUE(sim.WaitAtGate());
  std::thread second([&] { off = Ctl(profile, "off"); });
  const CtlRun busy = Ctl(profile, "status --wait 1");
  sim.OpenGate();
  first.join();
  second.join();
  EXPECT_EQ(on.status, 0);
  EXPECT_EQ(off.status, 0);
  EXPECT_EQ(busy.status, 4);
  EXPECT_EQ(busy.lines, Lines{"ostrelctl: the adapter is in use by another program"});
  // Each run's calls stand together: no read-modify-write interleaves.
  std::vector<unsigned long> runs;
  for (const auto& [pid, line] : sim.TraceByProcess()) {
    if (runs.empty() || runs.back() != pid)
      runs.push_back(pid);
  }
  EXPECT_EQ(runs.size(), 3u);
  ExpectImageState(kSimLayouts[1], sim, "off");
  // Both writes are in the history, each record whole.
  const std::string history = HistoryJson(profile);
  EXPECT_NE(history.find("\"action\": \"on\", \"family\": \"qualcomm-atheros\""),
            std::string::npos);
  EXPECT_NE(history.find("\"action\": \"off\", \"family\": \"qualcomm-atheros\""),
            std::string::npos);
  // A line that is no record is skipped with a warning.
  const std::string file = sim.Path("appdata\\Ostrel\\history.txt");
  std::ofstream(file, std::ios::app | std::ios::binary) << "not a record\r\n";
  const CtlRun listed = Ctl(profile, "history");
  EXPECT_EQ(listed.status, 0);
  ASSERT_EQ(listed.lines.size(), 2u * 4u + 1u) << history << listed.out;
  EXPECT_EQ(listed.lines.back(),
            "ostrelctl: warning: " + file + ": line 3 is not a history record; skipped");

  // Another object that has taken the lock's name is not "in use", and no
  // wait for it ends.
  const HANDLE squatter = ::CreateEventW(nullptr, TRUE, FALSE, L"Global\\Ostrel.Adapter");
  const CtlRun taken = Ctl(profile, "status");
  ::CloseHandle(squatter);
  EXPECT_EQ(taken.status, 4);
  EXPECT_EQ(taken.lines.at(0).rfind("ostrelctl: the adapter lock cannot be opened: ", 0), 0u)
      << taken.lines.at(0);
}

// The dialog's OK and an ostrelctl run at once: the run waits until the
// dialog's read-modify-write is over, so neither change is lost.
TEST_P(Ostrelctl, WaitsForTheDialogsWriteToEnd) {
  SimCase sim;
  const std::string profile =
      sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off\ndelay_ms = 300"));
  OstrelSession ostrel(SimCase::OstrelExe(GetParam()), profile);
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  ostrel.Click(IDC_RADIO_ON);
  const std::size_t reads = sim.TraceCount("GetLocalPIB");
  ostrel.PostClick(IDOK);
  ASSERT_TRUE(WaitUntil([&] { return sim.TraceCount("GetLocalPIB") > reads; }));
  const CtlRun off = Ctl(profile, "off", exe);
  EXPECT_EQ(off.status, 0);
  EXPECT_TRUE(ostrel.WaitForLog("Found a device!\r\nThe power save mode is off!\r\n"
                                "Enable device power save success!"));
  // The dialog's calls, then ostrelctl's: two runs, the write in between.
  std::vector<unsigned long> runs;
  for (const auto& [pid, line] : sim.TraceByProcess()) {
    if (runs.empty() || runs.back() != pid)
      runs.push_back(pid);
  }
  EXPECT_EQ(runs.size(), 2u) << ::testing::PrintToString(sim.Trace());
  ExpectImageState(kSimLayouts[1], sim, "off");
  const std::string history = HistoryJson(profile);
  const std::size_t dialog = history.find("\"program\": \"Ostrel.exe\", \"action\": \"on\"");
  EXPECT_LT(dialog, history.find("\"program\": \"ostrelctl\", \"action\": \"off\"")) << history;
}

// While ostrelctl holds the adapter, OK waits for it with the dialog still
// answering; a radio click made meanwhile is dropped, and the write follows.
TEST(Ostrelctl, TheDialogAnswersWhileItWaitsForTheAdapter) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off"));
  OstrelSession ostrel(SimCase::OstrelExe(), profile);
  ASSERT_TRUE(ostrel.WaitForFirstScan());
  ostrel.Click(IDC_RADIO_ON);
  const std::string slow = sim.WriteProfile(
      QcaProfile(kSimLayouts[1], "powersave = off\n" + SimCase::Gate("GetLocalPIB")), "slow.sim");
  CtlRun holder;
  std::thread status([&] { holder = Ctl(slow, "status"); });
  ASSERT_TRUE(sim.WaitAtGate());
  ostrel.PostClick(IDOK);
  EXPECT_TRUE(ostrel.WaitForLog(std::string(kScannedOff) + "\r\n" + kWaiting));
  DWORD_PTR answer = 0;
  EXPECT_NE(::SendMessageTimeoutA(ostrel.Dialog(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer),
            0);
  ostrel.PostClick(IDC_RADIO_OFF);
  sim.OpenGate();
  status.join();
  EXPECT_EQ(holder.status, 0);
  EXPECT_TRUE(ostrel.WaitForLog(std::string(kScannedOff) + "\r\n" + kWaiting +
                                "\r\nEnable device power save success!"));
  EXPECT_TRUE(ostrel.Checked(IDC_RADIO_ON));
  EXPECT_FALSE(ostrel.Checked(IDC_RADIO_OFF));
  ExpectImageState(kSimLayouts[1], sim, "on");
}

// A program stopped during its write leaves the write's record as started,
// with what it was sending, and the next program to reach the adapter says
// that the write was cut short. While the flash holds what the write started
// from, undo passes the record over; once it holds what the write sent, as
// when the adapter stored it before the program died, undo undoes it.
TEST(Ostrelctl, AWriteCutShortIsRecordedAndNamedByTheNextRun) {
  SimCase sim;
  const std::string hanging = sim.WriteProfile(
      QcaProfile(kSimLayouts[1], "powersave = on\nhang = WriteLocalPIB"), "hang.sim");
  {
    OstrelSession ostrel(SimCase::OstrelExe(), hanging);
    ASSERT_TRUE(ostrel.WaitForFirstScan());
    ostrel.Click(IDC_RADIO_OFF);
    ostrel.PostClick(IDOK);
    ASSERT_TRUE(WaitUntil([&] { return sim.TraceCount("HANG WriteLocalPIB") == 1; }));
  }
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = on"));
  const CtlRun status = Ctl(profile, "status");
  EXPECT_EQ(status.status, 0) << status.err;
  EXPECT_EQ(status.err.rfind("ostrelctl: warning: a write by Ostrel.exe at ", 0), 0u) << status.err;
  EXPECT_NE(status.err.find(" was cut short"), std::string::npos) << status.err;
  EXPECT_EQ(status.err.find("could not be identified"), std::string::npos) << status.err;
  // With both streams in one pipe, the warning still comes first.
  int both = -1;
  const std::string merged = RunProgram(SimCase::ProgramExe("ostrelctl.exe"), "status", both);
  EXPECT_EQ(merged.rfind("ostrelctl: warning: a write by Ostrel.exe at ", 0), 0u) << merged;
  const std::string history = HistoryJson(profile);
  EXPECT_NE(history.find("\"result\": \"started\""), std::string::npos);
  const std::string idKey = "\"id\": \"";
  const std::size_t at = history.find(idKey);
  ASSERT_NE(at, std::string::npos) << history;
  const std::string id =
      history.substr(at + idKey.size(), history.find('"', at + idKey.size()) - at - idKey.size());
  const std::vector<uint8_t> on = ReadBytes(sim.Path("image.nvm"));
  CtlRun undo = Ctl(profile, "undo");
  EXPECT_EQ(undo.status, 1);
  ASSERT_FALSE(undo.lines.empty());
  EXPECT_EQ(undo.lines.front().rfind("passed over: ", 0), 0u) << undo.lines.front();
  ExpectImageState(kSimLayouts[1], sim, "on");

  // The adapter takes what the write sent: the same switch, made again and
  // then left out of the history.
  const std::string historyFile = sim.Path("appdata\\Ostrel\\history.txt");
  const std::vector<uint8_t> kept = ReadBytes(historyFile);
  ASSERT_EQ(Ctl(profile, "off").status, 0);
  WriteBytes(historyFile, kept);
  undo = Ctl(profile, "undo --json");
  EXPECT_EQ(undo.status, 0) << undo.out;
  EXPECT_NE(undo.out.find("\"passed_over\": []"), std::string::npos) << undo.out;
  EXPECT_NE(undo.out.find("\"undoes\": \"" + id + "\""), std::string::npos) << undo.out;
  EXPECT_EQ(ReadBytes(sim.Path("image.nvm")), on);
}

// No copy can be saved where LOCALAPPDATA names a file: both programs write
// all the same, ostrelctl says why there is no copy, and the dialog says so
// after its result line. Undo then has no record to undo.
TEST(Ostrelctl, AWriteGoesOnWhenItsCopyCannotBeSaved) {
  SimCase sim;
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[2], "powersave = off"));
  WriteBytes(sim.Path("appdata"), {'x'});
  CtlRun run = Ctl(profile, "on");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.rfind("ostrelctl: warning: no automatic copy was saved before the write: ", 0),
            0u)
      << run.err;
  ExpectImageState(kSimLayouts[2], sim, "on");
  run = Ctl(profile, "off --no-copy");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err.find("no automatic copy"), std::string::npos) << run.err;
  {
    OstrelSession ostrel(SimCase::OstrelExe(), profile);
    ASSERT_TRUE(ostrel.WaitForFirstScan());
    ostrel.Click(IDC_RADIO_ON);
    ostrel.Click(IDOK);
    EXPECT_TRUE(ostrel.WaitForLog(std::string(kScannedOff) +
                                  "\r\nEnable device power save success!"
                                  "\r\nNo automatic copy was saved before the write: not a directory"));
  }
  ExpectImageState(kSimLayouts[2], sim, "on");
  ::DeleteFileA(sim.Path("appdata").c_str());
  run = Ctl(profile, "undo");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.lines,
            Lines{"ostrelctl: no change of this adapter is left to undo; nothing written"});
}

// A backup file may lie anywhere a Windows user has files; its name comes
// back as the same UTF-8 bytes in what ostrelctl says.
class OstrelctlPaths : public ::testing::TestWithParam<UnusualPath> {};

TEST_P(OstrelctlPaths, BackupAndRestoreThroughTheFile) {
  SimCase sim;
  ASSERT_TRUE(MakeFolders(sim, GetParam().folders));
  const std::string backup = sim.Path(GetParam().folders) + "\\" + GetParam().file + ".ostrel";
  const std::string profile = sim.WriteProfile(QcaProfile(kSimLayouts[0], "powersave = on"));
  CtlRun run = Ctl(profile, "backup " + Quoted(backup));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.lines.at(0).rfind("saved: " + backup + " (", 0), 0u) << run.lines.at(0);
  run = Ctl(profile, "restore --json " + Quoted(backup));
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out.rfind("{\"restored\": \"" + JsonPath(backup) + "\"", 0), 0u) << run.out;
  const std::string missing = backup + ".нет";
  run = Ctl(profile, "restore " + Quoted(missing));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err.rfind("ostrelctl: " + missing + ": ", 0), 0u) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Names, OstrelctlPaths, EveryUnusualPath(), UnusualPathName);

TEST(Ostrelctl, WithoutTheLibraryOrWithBadArgumentsSaysSo) {
  SimCase sim;
  const std::string alone = sim.Path("ostrelctl.exe");
  ASSERT_TRUE(::CopyFileA(SimCase::ProgramExe("ostrelctl.exe").c_str(), alone.c_str(), FALSE));
  CtlRun run = Ctl("", "status", alone);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.lines, Lines{"ostrelctl: cannot load Kelvane.dll from the program's folder or the "
                             "system folder"});
  // A file of that name that is no 32-bit library is not "no adapter".
  std::ofstream(sim.Path("Kelvane.dll")) << "not a library";
  EXPECT_EQ(Ctl("", "status", alone).lines,
            Lines{"ostrelctl: Kelvane.dll is not a 32-bit Windows library"});
  // A file that cannot be read says why in the system's words.
  ASSERT_TRUE(::CreateDirectoryA(sim.Path("copies").c_str(), nullptr));
  const CtlRun folder = Ctl(sim.WriteProfile(QcaProfile(kSimLayouts[1], "")),
                            "restore " + Quoted(sim.Path("copies")));
  EXPECT_EQ(folder.status, 2);
  EXPECT_EQ(folder.lines,
            Lines{"ostrelctl: " + sim.Path("copies") + ": is a directory; nothing written"});
  // The file is read before the library is looked for.
  EXPECT_EQ(Ctl("", "restore " + Quoted(sim.Path("copies")), alone).lines, folder.lines);
  for (const char* arguments :
       {"", "switch", "on --verify --verify", "on --backup", "backup", "on --backup --verify",
        "on --verify --no-verify", "status --wait x", "status --wait", "status --force",
        "restore a b"})
    EXPECT_EQ(Ctl("", arguments).status, 2) << arguments;
}

BOOL WINAPI IgnoreStop(DWORD) {
  return TRUE;
}

// ostrelctl stopped once `due` holds: `stop` gets its process and does it;
// by default a Ctrl+C. Its output goes to files, so that nothing waits on a
// pipe meanwhile. The event goes to every process of the console, so the
// test takes a console of its own for the while and ignores the event
// itself. (Windows would send a Ctrl+Break to ostrelctl's own process group;
// Wine 8 sends no Ctrl+Break, and its Ctrl+C does not reach a new process
// group.) A run that has not ended 15 s after the stop is ended, status -2.
CtlRun CtlStopped(const SimCase& sim, const std::string& profile, const std::string& arguments,
                  const std::function<bool()>& due,
                  const std::function<void(const PROCESS_INFORMATION&)>& stop = {}) {
  ::SetEnvironmentVariableA("KELVANE_SIM", profile.c_str());
  const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE standard[3];
  for (int i = 0; i < 3; ++i)
    standard[i] = ::GetStdHandle(kinds[i]);
  ::FreeConsole();
  EXPECT_TRUE(::AllocConsole());
  ::SetConsoleCtrlHandler(&IgnoreStop, TRUE);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const std::string paths[] = {sim.Path("stop-out.txt"), sim.Path("stop-err.txt")};
  HANDLE files[2];
  for (int i = 0; i < 2; ++i)
    files[i] = ::CreateFileA(paths[i].c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = files[0];
  startup.hStdError = files[1];
  const std::string exe = SimCase::ProgramExe("ostrelctl.exe");
  std::string commandLine = "\"" + exe + "\" " + arguments;
  PROCESS_INFORMATION process{};
  CtlRun run{-1, {}, {}, {}};
  if (::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
    EXPECT_TRUE(WaitUntil(due));
    if (stop)
      stop(process);
    else
      EXPECT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    // Calls held at the simulator's gate go on once the run has ended, or
    // after two seconds in which its handler has taken the stop. Nothing shows
    // outside the process that it has: its lines wait in the file's buffer.
    ::WaitForSingleObject(process.hProcess, 2000);
    sim.OpenGate();
    DWORD code = static_cast<DWORD>(-2);
    if (::WaitForSingleObject(process.hProcess, 15000) == WAIT_OBJECT_0)
      ::GetExitCodeProcess(process.hProcess, &code);
    else
      ::TerminateProcess(process.hProcess, code);
    run.status = static_cast<int>(code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  for (HANDLE file : files)
    ::CloseHandle(file);
  ::SetConsoleCtrlHandler(&IgnoreStop, FALSE);
  ::FreeConsole();
  ::AttachConsole(ATTACH_PARENT_PROCESS);
  for (int i = 0; i < 3; ++i)
    ::SetStdHandle(kinds[i], standard[i]);
  const std::vector<uint8_t> out = ReadBytes(paths[0]), err = ReadBytes(paths[1]);
  run.out.assign(out.begin(), out.end());
  run.err.assign(err.begin(), err.end());
  run.lines = SplitLines(run.out + run.err);
  return run;
}

// Files a write leaves behind while it is under way, `pattern` "FOLDER\\*.tmp".
std::size_t TemporaryFiles(const std::string& pattern) {
  WIN32_FIND_DATAA found;
  const HANDLE search = ::FindFirstFileA(pattern.c_str(), &found);
  std::size_t count = 0;
  for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(search, &found))
    ++count;
  if (search != INVALID_HANDLE_VALUE)
    ::FindClose(search);
  return count;
}

const std::string kFinishing =
    "ostrelctl: finishing the write to the adapter before stopping; a second Ctrl+C once the "
    "write has run 10 seconds ends ostrelctl at once";

// A stop before the write ends ostrelctl at once with status 5, nothing
// written, also while a library call is stuck. A stop during the write is
// taken: the write, its reset and its record in the history finish, the
// whole result is printed, a warning says that it was stopped, and the exit
// status is the result's. The reset fails here, so the run has a result of
// its own to lose.
TEST(Ostrelctl, AStopDuringTheWriteLetsItFinishAndReport) {
  const std::string resetFailed = "power save off was written, but the reset after it failed; "
                                  "the adapter takes it at its next restart";
  const std::string stopped = "ostrelctl: warning: stopped; the write was finished first";
  const std::string unwritten = "ostrelctl: stopped before anything was written";
  const struct {
    const char* arguments;
    const char* extra; // profile lines
    // The stop comes once the trace has this call, or, when null, while the
    // gated call waits at the gate.
    const char* due;
    int status;
    std::string out;
    Lines err;
  } cases[] = {
      {"off", "gate = GetLocalDevInfo", nullptr, 5, "", {unwritten}},
      {"off", "hang = GetLocalPIB", "HANG GetLocalPIB", 5, "", {unwritten}},
      {"off", "gate = ResetLocalDev", nullptr, 1, "", {kFinishing, "ostrelctl: " + resetFailed, stopped}},
      {"off --json",
       "gate = ResetLocalDev",
       nullptr,
       1,
       R"({"written": true, "reset": false, "error": ")" + resetFailed +
           R"(", "error_code": "reset_failed"})" + "\r\n",
       {kFinishing, stopped}},
  };
  for (const auto& c : cases) {
    SimCase sim;
    const std::string profile =
        sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = on\nfail = ResetLocalDev\n"
                                                    "gate_open = open.gate\n" +
                                                        std::string(c.extra)));
    const CtlRun run = CtlStopped(sim, profile, c.arguments, [&] {
      return c.due ? sim.TraceCount(c.due) > 0 : sim.WaitAtGate();
    });
    const std::string row = std::string(c.arguments) + ", " + c.extra;
    const bool written = c.status != 5;
    EXPECT_EQ(run.status, c.status) << row << "\n" << run.err;
    if (written)
      ExpectImageState(kSimLayouts[1], sim, "off");
    EXPECT_EQ(run.out, c.out) << row;
    EXPECT_EQ(SplitLines(run.err), c.err) << row;
    EXPECT_EQ(sim.TraceCount("WriteLocalPIB"), written ? 1u : 0u) << row;
    EXPECT_EQ(
        TemporaryFiles(sim.Path("*.tmp")) + TemporaryFiles(sim.Path("appdata\\Ostrel\\*.tmp")), 0u)
        << row;
    const std::string history = HistoryJson(profile);
    EXPECT_EQ(history.find("\"result\": \"failed\"") != std::string::npos, written) << row << "\n"
                                                                                    << history;
    EXPECT_EQ(history.find("\"result\": \"started\""), std::string::npos) << row;
  }
}

// The stop's line reaches a file at once, while the write goes on.
TEST(Ostrelctl, AStopLineReachesAFileAtOnce) {
  SimCase sim;
  const std::string profile =
      sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = on\ndelay_ms = 700"));
  bool early = false;
  const CtlRun run = CtlStopped(
      sim, profile, "off", [&] { return sim.TraceCount("WriteLocalPIB") > 0; },
      [&](const PROCESS_INFORMATION& process) {
        EXPECT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
        early =
            WaitUntil(
                [&] {
                  const std::vector<uint8_t> err = ReadBytes(sim.Path("stop-err.txt"));
                  return std::string(err.begin(), err.end()).find(kFinishing) != std::string::npos;
                },
                1000) &&
            ::WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
      });
  EXPECT_TRUE(early) << run.err;
  EXPECT_EQ(run.status, 0) << run.err;
}

// A logoff during the write: the query is refused, and the end waits for
// the whole result, which is printed and kept, with the run's own status.
TEST(Ostrelctl, TheSessionsEndDuringTheWriteKeepsItsResult) {
  SimCase sim;
  const std::string profile =
      sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = on\ndelay_ms = 700"));
  const CtlRun run = CtlStopped(
      sim, profile, "off --json", [&] { return sim.TraceCount("WriteLocalPIB") > 0; },
      [&](const PROCESS_INFORMATION& process) {
        HWND window = nullptr;
        while ((window = ::FindWindowExW(nullptr, window, L"Ostrel.ConsoleHold", nullptr))) {
          DWORD owner = 0;
          ::GetWindowThreadProcessId(window, &owner);
          if (owner == process.dwProcessId)
            break;
        }
        ASSERT_NE(window, nullptr);
        DWORD_PTR answer = TRUE;
        EXPECT_NE(::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                        SMTO_NORMAL, 5000, &answer),
                  0);
        EXPECT_EQ(answer, static_cast<DWORD_PTR>(FALSE));
        // Answered when the run has ended, or never, when the process ends
        // first.
        ::SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 15000,
                              &answer);
      });
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"written\": true"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"verified\": true"), std::string::npos) << run.out;
  ExpectImageState(kSimLayouts[1], sim, "off");
}

// Run as SYSTEM, LOCALAPPDATA lies in System32. On 64-bit Windows this 32-bit
// test, as ostrelctl, sees the real System32 as Sysnative: the history lands
// there, and what an earlier run left in SysWOW64 is moved there, with a
// warning.
TEST(Ostrelctl, DataUnderSystem32LandsInTheRealSystem32) {
  SimCase sim;
  BOOL wow64 = FALSE;
  ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
  char windows[MAX_PATH];
  ASSERT_GT(::GetSystemWindowsDirectoryA(windows, MAX_PATH), 0u);
  const std::string name = "ostrel-e2e-" + std::to_string(::GetCurrentProcessId());
  const std::string real = std::string(windows) + (wow64 ? "\\Sysnative\\" : "\\System32\\") + name;
  const std::string old = std::string(windows) + "\\SysWOW64\\" + name;
  ASSERT_TRUE(::CreateDirectoryA(real.c_str(), nullptr));
  if (wow64) {
    ASSERT_TRUE(::CreateDirectoryA(old.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((old + "\\Ostrel").c_str(), nullptr));
    WriteBytes(old + "\\Ostrel\\history.txt", {});
  }
  const std::string local = std::string(windows) + "\\system32\\" + name;
  ::SetEnvironmentVariableA("LOCALAPPDATA", local.c_str());
  const CtlRun run = Ctl(sim.WriteProfile(QcaProfile(kSimLayouts[1], "powersave = off")), "on");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("the copies and the history were moved from " + old + "\\Ostrel"),
            wow64 ? 0u + std::strlen("ostrelctl: warning: ") : std::string::npos)
      << run.err;
  EXPECT_NE(ReadLines(real + "\\Ostrel\\history.txt").size(), 0u);
  EXPECT_EQ(::GetFileAttributesA((old + "\\Ostrel").c_str()), INVALID_FILE_ATTRIBUTES);
  for (const std::string& folder : {real, old}) {
    std::wstring wide;
    std::string error;
    if (WidePath(folder, wide, error)) {
      RemoveTree(wide);
      ::RemoveDirectoryW(wide.c_str());
    }
  }
}

} // namespace
