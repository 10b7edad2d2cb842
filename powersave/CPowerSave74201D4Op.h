#pragma once
#include "nvm/PibHandle.h"
#include "powersave/CPowerSaveOp.h"

#include <cstdint>

// QCA7420 with firmware 1.1.x: PIB version 1.4, 8628 bytes. A change counts as
// made only when the write and the reset that follows it both succeed.
class CPowerSave74201D4Op : public CPowerSaveOp {
public:
  static constexpr uint32_t kImageCapacity = 16384;

  CPowerSave74201D4Op() = default;
  ~CPowerSave74201D4Op() override;
  uint16_t GetPowerSave() override;
  bool SetPowerSave(uint16_t value) override;

private:
  // The adapter's NVM image, fetched afresh by every operation and edited in place.
  uint8_t m_image[kImageCapacity] = {};
  PibHandle m_pibHandle;
};
