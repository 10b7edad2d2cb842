#include "powersave/CPowerSave74201D3Op.h"

#include "powersave/PowerSaveEdit.h"
#include "powersave/QcaDevice.h"

CPowerSave74201D3Op::~CPowerSave74201D3Op() {
  m_pibHandle.pib = nullptr;
  m_pibHandle.valid = 0;
}

uint16_t CPowerSave74201D3Op::GetPowerSave() {
  if (!QcaFetchImage(m_image))
    return 2;
  return PowerSaveRead(Pib74201D3View, m_pibHandle, m_image, kImageCapacity);
}

bool CPowerSave74201D3Op::SetPowerSave(uint16_t value) {
  if (value > 1 || !QcaFetchImage(m_image) ||
      !PowerSaveEdit7420(Pib74201D3View, m_pibHandle, m_image, kImageCapacity, value) ||
      !QcaWriteImage(m_image, m_pibHandle.writeLength))
    return false;
  QcaResetDevice();
  return true;
}
