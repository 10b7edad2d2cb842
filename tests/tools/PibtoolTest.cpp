#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PowerSaveFields.h"
#include "backup/BackupFile.h"
#include "bytes/LittleEndian.h"
#include "nvm/NvmHeader.h"
#include "nvm/NvmImageBuilder.h"
#include "nvm/PibView.h"

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A name in the temporary folder of this process's own, so that two runs at
// once never read each other's files.
std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "pibtool_" + std::to_string(::getpid()) + "_" + name;
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

// A refusal prints nothing on standard output and says why, `said` among it.
void ExpectRefused(const Outcome& run, int status, const std::string& said) {
  EXPECT_EQ(run.status, status) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err, "");
  EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
}

class Pibtool : public ::testing::Test {
protected:
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary) << std::string(bytes.begin(), bytes.end());
    return path;
  }

  Outcome Pib(const std::string& arguments) {
    const std::string out = TempPath("stdout");
    const std::string err = TempPath("stderr");
    const std::string command =
        std::string(PIBTOOL_PATH) + " " + arguments + " >" + out + " 2>" + err;
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
  }
};

TEST_F(Pibtool, OpenPrintsTheHandle) {
  NvmImageBuilder built(kPibLayout74201D4, true);
  const std::string file = Write("d4.bin", built.image);
  char checksum[16];
  std::snprintf(checksum, sizeof checksum, "0x%08X",
                ReadLe32(built.image.data() + built.PibHeader() + kNvmImageChecksum));
  const Outcome run = Pib("open --layout 7420-1.4 " + file);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, std::string("open: 0\nlayout: 7420-1.4\nversion: 1.4\npib length: 8628\n"
                                 "write length: 9236\n") +
                         "pib checksum: " + checksum + "\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(Pibtool, GetFollowsTheModeWord) {
  NvmImageBuilder built(kPibLayout7500, false);
  EXPECT_EQ(Pib("get --layout 7500 " + Write("off.bin", built.image)).out, "off\n");
  WriteLe16(built.Pib() + 9236, 0x2000);
  built.Seal();
  const Outcome run = Pib("get --layout 7500 " + Write("on.bin", built.image));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "on\n");
}

TEST_F(Pibtool, RejectedImageExitsOne) {
  NvmImageBuilder built(kPibLayout74201D3, true);
  const std::string file = Write("d3.bin", built.image);
  ExpectRefused(Pib("open --layout 7420-1.4 " + file), 1, file);

  built.Pib()[20] ^= 1; // breaks the PIB checksum
  ExpectRefused(Pib("get --layout 7420-1.3 " + Write("broken.bin", built.image)), 1,
                "(PibOpen code 2: header at 0x0200: image checksum 0x");
}

// A file of the wrong size is a rejected image; one over the reader's limit
// is too large, not cut short.
TEST_F(Pibtool, WrongSizeIsRejected) {
  NvmImageBuilder built(kPibLayout74201D4, true);
  const std::string file = Write("small.bin", built.image);
  const Outcome run = Pib("open --layout 7500 " + file);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "pibtool: " + file + ": the file is 16384 bytes; a 7500 image is 32768 bytes\n");
  EXPECT_EQ(Pib("open --layout 7420-1.4 " + Write("empty.bin", {})).status, 1);

  BackupCopy copy;
  copy.layout = "7500";
  copy.bytes = built.image;
  ExpectRefused(Pib("open " + Write("short.ostrel", BackupEncode(copy))), 1,
                "the copy is 16384 bytes; a 7500 image is 32768 bytes");

  std::vector<uint8_t> huge(2 * kBackupMaxCopy + 1);
  std::copy_n(BackupEncode(copy).begin(), 8, huge.begin());
  ExpectRefused(Pib("open " + Write("huge.ostrel", huge)), 2, "the file is too large");
}

TEST_F(Pibtool, UsageErrorsExitTwo) {
  const std::string file = Write("any.bin", std::vector<uint8_t>(16384));
  for (const std::string& arguments :
       {std::string(""), "open " + file, "open --layout 7420 " + file,
        std::string("open --layout 7500"), "frob --layout 7500 " + file,
        "get --layout 7500 " + file + " " + file, "open " + file + " --layout",
        "open --layout '' " + file, "open --layout 7500 --layout 7500 " + file,
        std::string("open --layout 7420-1.3 /nonexistent/image.bin")}) {
    SCOPED_TRACE(arguments);
    ExpectRefused(Pib(arguments), 2, "");
  }
  for (const char* help : {"help", "--help", "-h", "/?"}) {
    const Outcome run = Pib(help);
    EXPECT_EQ(run.status, 0) << help;
    EXPECT_EQ(run.out.rfind("usage: pibtool open|get FILE [--layout LAYOUT]\n", 0), 0u) << run.out;
  }
  EXPECT_EQ(Pib("--version").out.rfind("pibtool 1.", 0), 0u);
}

TEST_F(Pibtool, SetSwitchesEachLayoutAndTouchesOnlyItsFields) {
  for (const char* layout : {"7420-1.3", "7420-1.4", "7500"}) {
    const PibLayout& l = PibViewNamed(layout)->Layout();
    NvmImageBuilder built(l, false);
    const std::string file = Write(std::string("set_") + layout, built.image);
    for (const char* state : {"on", "off"}) {
      const Outcome set = Pib(std::string("set --layout ") + layout + " " + state + " " + file);
      EXPECT_EQ(set.status, 0) << layout << " " << set.err;
      EXPECT_EQ(set.out, std::string(state) + "\n");
      EXPECT_EQ(Pib(std::string("get --layout ") + layout + " " + file).out,
                std::string(state) + "\n");
      EXPECT_EQ(ChangedOutsidePowerSaveFields(built, built.image, Bytes(Slurp(file))), "")
          << layout << " " << state;
    }
  }
}

TEST_F(Pibtool, SetLeavesARejectedImageAsItWas) {
  NvmImageBuilder built(kPibLayout74201D4, false);
  const std::string file = Write("set_rejected", built.image);
  ExpectRefused(Pib("set --layout 7420-1.3 on " + file), 1, file);
  EXPECT_EQ(Bytes(Slurp(file)), built.image);
  ExpectRefused(Pib("set --layout 7420-1.4 maybe " + file), 2, "");
  EXPECT_EQ(Bytes(Slurp(file)), built.image);
}

// A backup file is taken wherever a bare image is; set keeps it one.
TEST_F(Pibtool, TakesTheImageInsideABackupFile) {
  NvmImageBuilder built(kPibLayout74201D3, false);
  BackupCopy copy;
  copy.layout = "7420-1.3";
  copy.firmware = "INT7420-MAC-1.0.12";
  copy.bytes = built.image;
  std::copy(built.Pib() + kPibDeviceBlock, built.Pib() + kPibDeviceBlock + kPibAddressSize,
            copy.address); // a backup names the address its image holds
  const std::string file = Write("backup.ostrel", BackupEncode(copy));
  EXPECT_EQ(Pib("set on " + file).status, 0);
  EXPECT_EQ(Pib("get " + file + " --layout 7420-1.3").out, "on\n");
  BackupCopy after;
  Fault fault;
  const std::vector<uint8_t> saved = Bytes(Slurp(file));
  ASSERT_TRUE(BackupDecode(saved.data(), saved.size(), after, &fault)) << fault.text;
  EXPECT_EQ(after.firmware, copy.firmware);
  EXPECT_EQ(ChangedOutsidePowerSaveFields(built, built.image, after.bytes), "");

  ExpectRefused(Pib("open --layout 7420-1.4 " + file), 1,
                "a backup of a 7420-1.3, not of a 7420-1.4 image");
  std::vector<uint8_t> damaged = saved;
  damaged[300] ^= 1;
  ExpectRefused(Pib("open --layout 7420-1.3 " + Write("damaged.ostrel", damaged)), 1, "SHA-256");
}

} // namespace
