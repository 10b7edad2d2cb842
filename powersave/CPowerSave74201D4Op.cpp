#include "powersave/CPowerSave74201D4Op.h"

#include "powersave/PowerSaveEdit.h"

CPowerSave74201D4Op::~CPowerSave74201D4Op() {
  m_pibHandle.pib = nullptr;
  m_pibHandle.valid = 0;
}

uint16_t CPowerSave74201D4Op::GetPowerSave() {
  if (KelvaneGetLocalPIB(m_image) == 0)
    return 2;
  return PowerSaveRead(Pib74201D4View, m_pibHandle, m_image, kImageCapacity);
}

bool CPowerSave74201D4Op::SetPowerSave(uint16_t value) {
  return value <= 1 && KelvaneGetLocalPIB(m_image) != 0 &&
         PowerSaveEdit7420(Pib74201D4View, m_pibHandle, m_image, kImageCapacity, value) &&
         WriteBack(m_image, m_pibHandle.writeLength);
}

bool CPowerSave74201D4Op::WriteBack(uint8_t* image, uint16_t writeLength) {
  return KelvaneWriteLocalPIB(image, writeLength) != 0 && KelvaneResetLocalDev() != 0;
}
