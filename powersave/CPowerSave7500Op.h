#pragma once
#include "nvm/PibHandle.h"
#include "powersave/CPowerSaveOp.h"

#include <cstdint>

// QCA7500: PIB version 1.4, 19928 bytes. A change needs both WriteLocalPIB and
// ResetLocalDev bound before it starts, though no reset follows the write.
class CPowerSave7500Op : public CPowerSaveOp {
public:
  static constexpr uint32_t kImageCapacity = 32768;

  CPowerSave7500Op() = default;
  ~CPowerSave7500Op() override;
  uint16_t GetPowerSave() override;
  bool SetPowerSave(uint16_t value) override;

private:
  // The adapter's NVM image, fetched afresh by every operation and edited in place.
  uint8_t m_image[kImageCapacity] = {};
  PibHandle m_pibHandle;
};
