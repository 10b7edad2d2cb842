#include "powersave/CPowerSave7500Op.h"

#include "powersave/PowerSaveEdit.h"

namespace {
// A change needs both write-side entry points, though no reset follows it.
bool WriteSideBound() {
  return KelvaneIsBound(&KelvaneEntryPoints::ResetLocalDev) &&
         KelvaneIsBound(&KelvaneEntryPoints::WriteLocalPIB);
}
} // namespace

CPowerSave7500Op::~CPowerSave7500Op() {
  m_pibHandle.pib = nullptr;
  m_pibHandle.valid = 0;
}

uint16_t CPowerSave7500Op::GetPowerSave() {
  if (KelvaneGetLocalPIB(m_image) == 0)
    return 2;
  return PowerSaveRead(Pib7500View, m_pibHandle, m_image, kImageCapacity);
}

bool CPowerSave7500Op::SetPowerSave(uint16_t value) {
  return value <= 1 && WriteSideBound() && KelvaneGetLocalPIB(m_image) != 0 &&
         PowerSaveEdit7500(m_pibHandle, m_image, kImageCapacity, value) &&
         WriteBack(m_image, m_pibHandle.writeLength);
}

bool CPowerSave7500Op::WriteBack(uint8_t* image, uint16_t writeLength) {
  return WriteSideBound() && KelvaneWriteLocalPIB(image, writeLength) != 0;
}
