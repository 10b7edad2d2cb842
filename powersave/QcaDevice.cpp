#include "powersave/QcaDevice.h"

#include "devicelib/KelvaneEntryPoints.h"

bool QcaFetchImage(uint8_t* image) {
  return g_kelvane.GetLocalPIB != nullptr && g_kelvane.GetLocalPIB(image) != 0;
}

bool QcaWriteImage(uint8_t* image, uint16_t writeLength) {
  return g_kelvane.WriteLocalPIB != nullptr && g_kelvane.WriteLocalPIB(image, writeLength, 1) != 0;
}

bool QcaResetDevice() {
  return g_kelvane.ResetLocalDev != nullptr && g_kelvane.ResetLocalDev(0) != 0;
}
