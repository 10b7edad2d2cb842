// Writes the seed corpus of every fuzz target, made by the image builder, into
// DIR/<target>/.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "backup/BackupFile.h"
#include "bytes/LittleEndian.h"
#include "nvm/NvmHeader.h"
#include "nvm/NvmImageBuilder.h"
#include "nvm/PibView.h"

namespace {

bool Save(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  const std::string path = dir + "/" + name;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::perror(path.c_str());
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written;
}

struct Layout {
  const char* name;
  const PibLayout& layout;
};

const Layout kLayouts[] = {
    {"7420-1.3", kPibLayout74201D3}, {"7420-1.4", kPibLayout74201D4}, {"7500", kPibLayout7500}};

// A backup file of every layout's image, and one of a parameter.
bool SaveBackupSeeds(const std::string& dir) {
  bool ok = true;
  for (const Layout& source : kLayouts) {
    NvmImageBuilder built(source.layout, true);
    BackupCopy copy;
    copy.layout = source.name;
    copy.firmware = "INT7420-MAC-1.1.3";
    std::copy_n(built.Pib() + kPibDeviceBlock, kPibAddressSize, copy.address);
    copy.bytes = built.image;
    ok = ok && Save(dir, source.name, BackupEncode(copy));
  }
  BackupCopy param;
  param.kind = BackupKind::Param41;
  param.bytes.assign(1500, 0x41);
  return ok && Save(dir, "param41", BackupEncode(param));
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ostrel_fuzz_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = true;
  for (const Layout& target : kLayouts) {
    const std::string pibDir = dir + "/fuzz_pib_open_" + target.name;
    for (const Layout& source : kLayouts) {
      for (bool on : {false, true}) {
        const std::string name = std::string(source.name) + (on ? "_on" : "_off");
        ok = ok && Save(pibDir, name, NvmImageBuilder(source.layout, on).image);
      }
    }
    ok = ok && Save(pibDir, "far_pib_header", NvmImageBuilder(target.layout, true, 4096).image);

    NvmImageBuilder edited(target.layout, true);
    edited.Pib()[100] ^= 0x5A;
    ok = ok && Save(dir + "/fuzz_nvm_update_verify", target.name, edited.image);
  }

  // Headers at 0 and 8, each with an empty image. Renewing the second's image
  // checksum ends the first's chain, so the updated buffer alone hides that
  // the headers overlap.
  std::vector<uint8_t> overlapping(128);
  WriteLe32(overlapping.data() + kNvmNextHeader, 8);
  WriteLe32(overlapping.data() + 8 + kNvmNextHeader, kNvmChainEnd);
  ok = ok && Save(dir + "/fuzz_nvm_update_verify", "overlapping_headers", overlapping);

  // The range of the first image of a built image, then the buffer.
  const NvmImageBuilder built(kPibLayout74201D4, true);
  for (uint32_t type : {2u, 3u, 7u}) {
    std::vector<uint8_t> input(12);
    WriteLe32(input.data(), type);
    WriteLe32(input.data() + 4, ReadLe32(built.image.data() + 8));
    WriteLe32(input.data() + 8, ReadLe32(built.image.data() + 16));
    input.insert(input.end(), built.image.begin(), built.image.begin() + 512);
    ok = ok && Save(dir + "/fuzz_nvm_find_entry", "type" + std::to_string(type), input);
  }
  ok = ok && SaveBackupSeeds(dir + "/fuzz_backup_decode");
  return ok ? 0 : 1;
}
