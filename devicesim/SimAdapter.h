#pragma once
// One simulated local adapter: the state behind the simulated device library.
// Not thread-safe; the exported entry points serialise calls into it.

#include "devicelib/DeviceRecord.h"
#include "devicesim/SimProfile.h"

#include <cstdint>
#include <string>
#include <vector>

class SimAdapter {
public:
  // Reads the profile named by KELVANE_SIM afresh (the built-in adapter when
  // unset) and returns the chip family, or 0 when the profile is unusable.
  int GetPLCType();
  int GetLocalDevInfo(unsigned char* record);
  int GetLocalPIB(unsigned char* image);
  int WriteLocalPIB(const unsigned char* image, uint32_t length);
  int ResetLocalDev() { return Usable() ? 1 : 0; }
  int BrcmGetParam(unsigned char* reply, int param);
  int BrcmSetParam(const unsigned char* request);

  // The profile in force; read on first use when no GetPLCType came yet.
  const SimProfile& Profile();
  bool Usable();

private:
  bool LoadProfile();
  DeviceRecord Record() const;
  std::string Firmware() const;
  uint32_t ImageCapacity() const;
  bool LoadImage(std::vector<uint8_t>& image);
  bool StoreImage(const std::vector<uint8_t>& image);
  bool LoadParam(std::vector<uint8_t>& param);
  bool StoreParam(const std::vector<uint8_t>& param);

  bool m_loaded = false;
  bool m_usable = false;
  SimProfile m_profile;
  // State of an adapter whose profile names no files; kept for the process's life.
  std::vector<uint8_t> m_memoryImage;
  std::vector<uint8_t> m_memoryParam;
};
