#include "powersave/CPowerSaveQcaOp.h"

#include "powersave/PowerSaveEdit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

std::string AddressText(const uint8_t* address) {
  char text[3 * kPibAddressSize];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", address[0], address[1],
                address[2], address[3], address[4], address[5]);
  return text;
}

std::string OpenFailure(int code) {
  return "PibOpen code " + std::to_string(code) + ": " + PibOpenCodeText(code);
}

} // namespace

CPowerSaveQcaOp::~CPowerSaveQcaOp() {
  m_pibHandle.pib = nullptr;
  m_pibHandle.valid = 0;
}

uint16_t CPowerSaveQcaOp::GetPowerSave() {
  if (KelvaneGetLocalPIB(m_image) == 0)
    return 2;
  return PowerSaveRead(*m_variant.view, m_pibHandle, m_image, Capacity());
}

bool CPowerSaveQcaOp::SetPowerSave(uint16_t value) {
  return value <= 1 && WriteSideBound() && KelvaneGetLocalPIB(m_image) != 0 &&
         m_variant.edit(m_pibHandle, m_image, Capacity(), value) &&
         WriteBack(m_pibHandle.writeLength);
}

bool CPowerSaveQcaOp::WriteSideBound() const {
  return m_variant.writeBack != PowerSaveWriteBack::BothBoundNoReset ||
         (KelvaneIsBound(&KelvaneEntryPoints::ResetLocalDev) &&
          KelvaneIsBound(&KelvaneEntryPoints::WriteLocalPIB));
}

bool CPowerSaveQcaOp::WriteBack(uint16_t writeLength) {
  if (!WriteSideBound() || KelvaneWriteLocalPIB(m_image, writeLength) == 0)
    return false;
  switch (m_variant.writeBack) {
  case PowerSaveWriteBack::ResetOptional:
    KelvaneResetLocalDev();
    return true;
  case PowerSaveWriteBack::ResetRequired:
    return KelvaneResetLocalDev() != 0;
  case PowerSaveWriteBack::BothBoundNoReset:
    return true;
  }
  return false;
}

bool CPowerSaveQcaOp::SaveCopy(BackupCopy& copy, std::string& error) {
  if (KelvaneGetLocalPIB(m_image) == 0) {
    error = "the adapter did not hand over its image";
    return false;
  }
  const int code = m_variant.view->PibOpen(m_pibHandle, m_image, Capacity());
  if (code != kPibOk) {
    error = std::string("the adapter's image does not open as a ") + m_variant.layout + " image (" +
            OpenFailure(code) + ")";
    return false;
  }
  copy.kind = m_variant.kind;
  copy.layout = m_variant.layout;
  std::memcpy(copy.address, m_pibHandle.pib + kPibDeviceBlock, kPibAddressSize);
  copy.bytes.assign(m_image, m_image + Capacity());
  return true;
}

// Only the copy's written range reaches the flash; the rest of the adapter's
// image stays as it is. So the image checked before writing is the one the
// flash will hold: the present image with that range laid over it.
bool CPowerSaveQcaOp::RestoreCopy(const BackupCopy& copy, std::string_view firmware, bool force,
                                  std::vector<uint8_t>& written, std::string& error) {
  if (!CheckCopyIdentity(copy, firmware, error))
    return false;
  const CPibView& view = *m_variant.view;
  const uint32_t capacity = Capacity();
  if (copy.bytes.size() != capacity) {
    error = "the copy holds " + std::to_string(copy.bytes.size()) + " bytes, a " +
            m_variant.layout + " image " + std::to_string(capacity);
    return false;
  }
  std::vector<uint8_t> saved = copy.bytes;
  PibHandle savedHandle;
  int code = view.PibOpen(savedHandle, saved.data(), capacity);
  if (code != kPibOk) {
    error = std::string("the copy does not open as a ") + m_variant.layout + " image (" +
            OpenFailure(code) + ")";
    return false;
  }
  if (!WriteSideBound()) {
    error = "the device library cannot write this adapter's image";
    return false;
  }
  if (KelvaneGetLocalPIB(m_image) == 0) {
    error = "the adapter did not hand over its present image";
    return false;
  }
  PibHandle present;
  code = view.PibOpen(present, m_image, capacity);
  if (code == kPibOk) {
    const uint8_t* ours = present.pib + kPibDeviceBlock;
    const uint8_t* theirs = savedHandle.pib + kPibDeviceBlock;
    if (std::memcmp(ours, theirs, kPibAddressSize) != 0) {
      error = "the copy is of the adapter " + AddressText(theirs) + ", this adapter is " +
              AddressText(ours);
      return false;
    }
  } else if (!force) {
    error = "the adapter's present image does not open (" + OpenFailure(code) +
            "), so its address cannot be compared with the copy's";
    return false;
  }
  std::copy(saved.begin(), saved.begin() + savedHandle.writeLength, m_image);
  code = view.PibOpen(m_pibHandle, m_image, capacity);
  if (code != kPibOk) {
    error = "the copy's first " + std::to_string(savedHandle.writeLength) +
            " bytes laid over the adapter's present image do not open (" + OpenFailure(code) +
            "): its chain reaches past what would be written";
    return false;
  }
  if (!WriteBack(m_pibHandle.writeLength)) {
    error = "the adapter refused the image, or the reset after it";
    return false;
  }
  written.assign(m_image, m_image + m_pibHandle.writeLength);
  return true;
}
