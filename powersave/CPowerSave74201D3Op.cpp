#include "powersave/CPowerSave74201D3Op.h"

#include "powersave/PowerSaveEdit.h"

CPowerSave74201D3Op::~CPowerSave74201D3Op() {
  m_pibHandle.pib = nullptr;
  m_pibHandle.valid = 0;
}

uint16_t CPowerSave74201D3Op::GetPowerSave() {
  if (KelvaneGetLocalPIB(m_image) == 0)
    return 2;
  return PowerSaveRead(Pib74201D3View, m_pibHandle, m_image, kImageCapacity);
}

bool CPowerSave74201D3Op::SetPowerSave(uint16_t value) {
  return value <= 1 && KelvaneGetLocalPIB(m_image) != 0 &&
         PowerSaveEdit7420(Pib74201D3View, m_pibHandle, m_image, kImageCapacity, value) &&
         WriteBack(m_image, m_pibHandle.writeLength);
}

bool CPowerSave74201D3Op::WriteBack(uint8_t* image, uint16_t writeLength) {
  if (KelvaneWriteLocalPIB(image, writeLength) == 0)
    return false;
  KelvaneResetLocalDev();
  return true;
}
