#pragma once
#include "devicelib/KelvaneCalls.h"
#include "nvm/PibHandle.h"
#include "nvm/PibLayout.h"
#include "powersave/CPowerSaveOp.h"

#include <cstdint>

// QCA7500: PIB version 1.4, 19928 bytes. A change needs both WriteLocalPIB and
// ResetLocalDev bound before it starts, though no reset follows the write.
class CPowerSave7500Op : public CPowerSaveOp {
public:
  static constexpr uint32_t kImageCapacity = kPibLayout7500.imageCapacity;

  CPowerSave7500Op() = default;
  ~CPowerSave7500Op() override;
  uint16_t GetPowerSave() override;
  bool SetPowerSave(uint16_t value) override;
  // Hands an edited image back and resets the adapter by this class's rule.
  static bool WriteBack(uint8_t* image, uint16_t writeLength);

private:
  // The adapter's NVM image, fetched afresh by every operation and edited in place.
  uint8_t m_image[kNvmImageBufferSize] = {};
  PibHandle m_pibHandle;
};
