#pragma once
#include "nvm/PibHandle.h"
#include "powersave/CPowerSaveOp.h"

#include <cstdint>

// QCA7420 with firmware 1.0.x: PIB version 1.3, 8112 bytes. A reset follows a
// successful write when the library offers one; its outcome does not count.
class CPowerSave74201D3Op : public CPowerSaveOp {
public:
  static constexpr uint32_t kImageCapacity = 16384;

  CPowerSave74201D3Op() = default;
  ~CPowerSave74201D3Op() override;
  uint16_t GetPowerSave() override;
  bool SetPowerSave(uint16_t value) override;

private:
  // The adapter's NVM image, fetched afresh by every operation and edited in place.
  uint8_t m_image[kImageCapacity] = {};
  PibHandle m_pibHandle;
};
