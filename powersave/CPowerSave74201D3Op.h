#pragma once
#include "devicelib/KelvaneCalls.h"
#include "nvm/PibHandle.h"
#include "nvm/PibLayout.h"
#include "powersave/CPowerSaveOp.h"

#include <cstdint>

// QCA7420 with firmware 1.0.x: PIB version 1.3, 8112 bytes. A reset follows a
// successful write when the library offers one; its outcome does not count.
class CPowerSave74201D3Op : public CPowerSaveOp {
public:
  // The image this class reads, checks and writes lies within the first 16384 bytes.
  static constexpr uint32_t kImageCapacity = kPibLayout74201D3.imageCapacity;

  CPowerSave74201D3Op() = default;
  ~CPowerSave74201D3Op() override;
  uint16_t GetPowerSave() override;
  bool SetPowerSave(uint16_t value) override;
  // Hands an edited image back and resets the adapter by this class's rule.
  static bool WriteBack(uint8_t* image, uint16_t writeLength);

private:
  // The adapter's NVM image, fetched afresh by every operation and edited in
  // place. A strategy kept from an earlier detection may meet a larger image
  // than its own, so the buffer takes the largest the library hands over.
  uint8_t m_image[kNvmImageBufferSize] = {};
  PibHandle m_pibHandle;
};
