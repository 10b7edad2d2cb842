#include "devicesim/SimAdapter.h"

#include "devicelib/BrcmParam.h"
#include "devicesim/SimFile.h"
#include "nvm/NvmImageBuilder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// A small parameter 41: two 16-bit elements, the switch in bit 15 of the first
// and bit 0 set beside it, so a write that disturbs other bits shows.
std::vector<uint8_t> DefaultParam(bool powerSaveOn) {
  return {0x01, 0x02, 0x02, 0x00, 0x01, static_cast<uint8_t>(powerSaveOn ? 0x80 : 0x00),
          0x34, 0x12};
}

// Adapter state lives in the file the profile names or, when it names none,
// in memory for the process's life. False when there is none yet.
bool LoadState(const std::string& path, const std::vector<uint8_t>& memory,
               std::vector<uint8_t>& bytes) {
  if (!path.empty())
    return SimReadFile(path, bytes);
  if (memory.empty())
    return false;
  bytes = memory;
  return true;
}

bool StoreState(const std::string& path, std::vector<uint8_t>& memory,
                const std::vector<uint8_t>& bytes) {
  if (!path.empty())
    return SimReplaceFile(path, bytes);
  memory = bytes;
  return true;
}

} // namespace

bool SimAdapter::LoadProfile() {
  m_loaded = true;
  m_usable = false;
  const char* path = std::getenv("KELVANE_SIM");
  if (path == nullptr || *path == '\0') {
    m_profile = SimProfile();
    m_usable = true;
    return true;
  }
  std::vector<uint8_t> bytes;
  if (!SimReadFile(path, bytes)) {
    std::fprintf(stderr, "Kelvane (simulated): %s: cannot read the profile\n", path);
    return false;
  }
  std::string error;
  SimProfile profile;
  if (!ParseSimProfile(std::string(bytes.begin(), bytes.end()), SimFolderOf(path), profile,
                       error)) {
    std::fprintf(stderr, "Kelvane (simulated): %s: %s\n", path, error.c_str());
    return false;
  }
  m_profile = profile;
  m_usable = true;
  return true;
}

const SimProfile& SimAdapter::Profile() {
  if (!m_loaded)
    LoadProfile();
  return m_profile;
}

bool SimAdapter::Usable() {
  Profile();
  return m_usable;
}

DeviceRecord SimAdapter::Record() const {
  DeviceRecord record;
  record.SetFirmware(m_profile.firmware.empty() ? kSimDefaultFirmware : m_profile.firmware);
  return record;
}

// The text exactly as the program reads it from the record, so that both
// sides agree on the chip and so on the size of the image buffer.
std::string SimAdapter::Firmware() const {
  return std::string(Record().Firmware());
}

uint32_t SimAdapter::ImageCapacity() const {
  return Contains(Firmware(), "7500") ? kPibLayout7500.imageCapacity
                                      : kPibLayout74201D4.imageCapacity;
}

int SimAdapter::GetPLCType() {
  return LoadProfile() ? m_profile.family : 0;
}

int SimAdapter::GetLocalDevInfo(unsigned char* record) {
  if (!Usable())
    return 0;
  std::memcpy(record, Record().bytes, DeviceRecord::kSize);
  return 1;
}

bool SimAdapter::LoadImage(std::vector<uint8_t>& image) {
  const SimProfile& profile = m_profile;
  if (LoadState(profile.image, m_memoryImage, image))
    return true;
  // No image yet: make one of the profile's layout, or for the built-in
  // adapter the layout its firmware text names.
  std::string layout = profile.create;
  if (layout.empty()) {
    if (!profile.image.empty())
      return false;
    const std::string firmware = Firmware();
    layout = Contains(firmware, "7500")   ? "7500"
             : Contains(firmware, "1.0.") ? "7420-1.3"
                                          : "7420-1.4";
  }
  return NvmBuildImage(layout.c_str(), profile.powerSaveOn, image) && StoreImage(image);
}

bool SimAdapter::StoreImage(const std::vector<uint8_t>& image) {
  return StoreState(m_profile.image, m_memoryImage, image);
}

int SimAdapter::GetLocalPIB(unsigned char* image) {
  std::vector<uint8_t> stored;
  if (!Usable() || !LoadImage(stored) || stored.size() > ImageCapacity())
    return 0;
  std::copy(stored.begin(), stored.end(), image);
  return 1;
}

int SimAdapter::WriteLocalPIB(const unsigned char* image, uint32_t length) {
  if (!Usable() || length == 0 || length > ImageCapacity())
    return 0;
  // Flash keeps what lies past the written length.
  std::vector<uint8_t> stored;
  if (!LoadImage(stored))
    stored.clear();
  if (stored.size() < length)
    stored.resize(length);
  std::copy(image, image + length, stored.begin());
  return StoreImage(stored) ? 1 : 0;
}

bool SimAdapter::LoadParam(std::vector<uint8_t>& param) {
  if (LoadState(m_profile.param41, m_memoryParam, param))
    return true;
  param = DefaultParam(m_profile.powerSaveOn);
  return StoreParam(param);
}

bool SimAdapter::StoreParam(const std::vector<uint8_t>& param) {
  return StoreState(m_profile.param41, m_memoryParam, param);
}

int SimAdapter::BrcmGetParam(unsigned char* reply, int param) {
  std::vector<uint8_t> stored;
  if (!Usable() || param != kBrcmPowerSaveParam || !LoadParam(stored) ||
      stored.size() > BrcmParamReply::kSize)
    return 0;
  std::memset(reply, 0, BrcmParamReply::kSize);
  std::copy(stored.begin(), stored.end(), reply);
  return 1;
}

int SimAdapter::BrcmSetParam(const unsigned char* request) {
  if (!Usable())
    return 0;
  BrcmParamRequest sent;
  std::memcpy(sent.bytes, request, BrcmParamRequest::kSize);
  BrcmParamReply stored = {};
  if (sent.Param() != kBrcmPowerSaveParam || !BrcmReplyFromRequest(sent, stored))
    return 0;
  // Kept in the reply's layout, as long as its data.
  const std::size_t length = BrcmParamReply::kDataOffset + stored.DataLength();
  return StoreParam({stored.bytes, stored.bytes + length}) ? 1 : 0;
}
