#include "powersave/CPowerSave7500Op.h"

#include "devicelib/KelvaneEntryPoints.h"
#include "powersave/PowerSaveEdit.h"
#include "powersave/QcaDevice.h"

CPowerSave7500Op::~CPowerSave7500Op() {
  m_pibHandle.pib = nullptr;
  m_pibHandle.valid = 0;
}

uint16_t CPowerSave7500Op::GetPowerSave() {
  if (!QcaFetchImage(m_image))
    return 2;
  return PowerSaveRead(Pib7500View, m_pibHandle, m_image, kImageCapacity);
}

bool CPowerSave7500Op::SetPowerSave(uint16_t value) {
  if (value > 1 || g_kelvane.ResetLocalDev == nullptr || g_kelvane.WriteLocalPIB == nullptr)
    return false;
  return QcaFetchImage(m_image) && PowerSaveEdit7500(m_pibHandle, m_image, kImageCapacity, value) &&
         QcaWriteImage(m_image, m_pibHandle.writeLength);
}
