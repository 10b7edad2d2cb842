#include "powersave/CPowerSaveQcaOp.h"

#include "bytes/ByteReader.h"
#include "nvm/CCStreamAccessStrategy_MemoryBuffer.h"
#include "nvm/NvmChain.h"
#include "nvm/PibAddress.h"
#include "powersave/PowerSaveEdit.h"

#include <cstdio>
#include <cstring>

namespace {

// True, with the failing header's offset in `at`, when the chain of `image`
// fails at a header that, or whose image, reaches past the first `written`
// bytes: bytes that restore leaves as the adapter holds them.
bool ChainFailsPast(uint8_t* image, uint32_t capacity, uint32_t written, uint32_t& at) {
  CCStreamAccessStrategy_MemoryBuffer stream(image, capacity);
  if (NvmVerifyChain(stream, &at))
    return false;
  ByteReader writtenBytes(image, written);
  writtenBytes.At(at, kNvmHeaderSize);
  writtenBytes.At(writtenBytes.Le32(at + kNvmImageOffset), writtenBytes.Le32(at + kNvmImageLength));
  return writtenBytes.Failed();
}

} // namespace

CPowerSaveQcaOp::~CPowerSaveQcaOp() {
  m_pibHandle.pib = nullptr;
  m_pibHandle.valid = 0;
}

uint16_t CPowerSaveQcaOp::GetPowerSave() {
  if (m_device.GetLocalPIB(m_image) == 0)
    return 2;
  return PowerSaveRead(*m_variant.view, m_pibHandle, m_image, Capacity());
}

bool CPowerSaveQcaOp::SetPowerSave(uint16_t value) {
  m_resetFailed = false;
  if (value > 1 || !WriteSideBound() || m_device.GetLocalPIB(m_image) == 0)
    return false;
  KeepBefore();
  if (!m_variant.edit(m_pibHandle, m_image, Capacity(), value))
    return false;
  if (m_watch != nullptr)
    m_watch->BeforeWrite(m_image, m_pibHandle.writeLength);
  return WriteBack(m_pibHandle.writeLength);
}

uint16_t CPowerSaveQcaOp::CopyState(const PowerSaveCopy& copy) const {
  if (copy.kind != m_variant.kind || copy.Layout() != m_variant.Layout() || copy.size != Capacity())
    return 2;
  // The view opens an image in place, so it reads one of its own.
  uint8_t image[kNvmImageBufferSize];
  std::memcpy(image, copy.bytes, Capacity());
  PibHandle handle;
  return PowerSaveRead(*m_variant.view, handle, image, Capacity());
}

void CPowerSaveQcaOp::KeepBefore() {
  if (m_watch != nullptr)
    FillCopy(m_watch->Before(),
             m_variant.view->PibOpen(m_pibHandle, m_image, Capacity(), nullptr) == kPibOk);
}

void CPowerSaveQcaOp::FillCopy(PowerSaveCopy& copy, bool opened) const {
  copy.kind = m_variant.kind;
  std::snprintf(copy.layout, sizeof copy.layout, "%s", m_variant.Layout());
  if (opened)
    std::memcpy(copy.address, m_pibHandle.pib + kPibDeviceBlock, kPibAddressSize);
  else
    std::memset(copy.address, 0, kPibAddressSize);
  copy.size = Capacity();
  std::memcpy(copy.bytes, m_image, Capacity());
}

bool CPowerSaveQcaOp::WriteSideBound() const {
  return m_variant.writeBack != PowerSaveWriteBack::BothBoundNoReset || m_device.CanWriteImage();
}

bool CPowerSaveQcaOp::WriteBack(uint16_t writeLength) {
  if (!WriteSideBound() || m_device.WriteLocalPIB(m_image, writeLength) == 0)
    return false;
  switch (m_variant.writeBack) {
  case PowerSaveWriteBack::ResetOptional:
    m_device.ResetLocalDev();
    return true;
  case PowerSaveWriteBack::ResetRequired:
    m_resetFailed = m_device.ResetLocalDev() == 0;
    return !m_resetFailed;
  case PowerSaveWriteBack::BothBoundNoReset:
    return true;
  }
  return false;
}

bool CPowerSaveQcaOp::SaveCopy(PowerSaveCopy& copy, PowerSaveError& error) {
  copy.size = 0;
  if (m_device.GetLocalPIB(m_image) == 0)
    return Refuse(error, "the adapter did not hand over its image");
  Fault fault;
  const int code = m_variant.view->PibOpen(m_pibHandle, m_image, Capacity(), &fault);
  FillCopy(copy, code == kPibOk);
  if (code != kPibOk)
    return Refuse(error, "the adapter's image does not open as a %s image (PibOpen code %d: %s)",
                  m_variant.Layout(), code, fault.text);
  return true;
}

// Only the copy's written range reaches the flash; the rest of the adapter's
// image stays as it is. So the image checked before writing is the one the
// flash will hold: the present image with that range laid over it.
bool CPowerSaveQcaOp::RestoreCopy(const PowerSaveCopy& copy, std::string_view firmware, bool force,
                                  uint32_t& written, PowerSaveError& error) {
  m_resetFailed = false;
  if (!CheckCopyIdentity(copy, firmware, error))
    return false;
  const CPibView& view = *m_variant.view;
  const uint32_t capacity = Capacity();
  if (copy.size != capacity)
    return Refuse(error, "the copy holds %u bytes, a %s image %u", static_cast<unsigned>(copy.size),
                  m_variant.Layout(), static_cast<unsigned>(capacity));
  std::memcpy(m_image, copy.bytes, capacity);
  Fault fault;
  int code = view.PibOpen(m_pibHandle, m_image, capacity, &fault);
  if (code != kPibOk)
    return Refuse(error, "the copy does not open as a %s image (PibOpen code %d: %s)",
                  m_variant.Layout(), code, fault.text);
  const uint16_t copyLength = m_pibHandle.writeLength;
  const AddressText theirs(m_pibHandle.pib + kPibDeviceBlock);
  if (!WriteSideBound())
    return Refuse(error, "the device library cannot write this adapter's image");
  if (m_device.GetLocalPIB(m_image) == 0)
    return Refuse(error, "the adapter did not hand over its present image");
  KeepBefore();
  code = view.PibOpen(m_pibHandle, m_image, capacity, &fault);
  const bool presentOpens = code == kPibOk;
  if (presentOpens) {
    const AddressText ours(m_pibHandle.pib + kPibDeviceBlock);
    if (std::strcmp(ours.text, theirs.text) != 0)
      return Refuse(error, "the copy is of the adapter %s, this adapter is %s", theirs.text,
                    ours.text);
  } else if (!force) {
    return Refuse(error,
                  "the adapter's present image does not open (PibOpen code %d: %s), so its "
                  "address cannot be compared with the copy's",
                  code, fault.text);
  }
  std::memcpy(m_image, copy.bytes, copyLength);
  code = view.PibOpen(m_pibHandle, m_image, capacity, &fault);
  uint32_t damagedAt = 0;
  if (code != kPibOk && !presentOpens && ChainFailsPast(m_image, capacity, copyLength, damagedAt))
    return Refuse(error,
                  "the adapter's present image is damaged at byte 0x%x, past the %u bytes restore "
                  "writes; restore does not write there (%s)",
                  static_cast<unsigned>(damagedAt), static_cast<unsigned>(copyLength), fault.text);
  if (code == kPibOk && m_pibHandle.writeLength != copyLength)
    SayFault(&fault, "write length %u expected, %u found", static_cast<unsigned>(copyLength),
             static_cast<unsigned>(m_pibHandle.writeLength));
  if (code != kPibOk || m_pibHandle.writeLength != copyLength)
    return Refuse(error,
                  "the copy's first %u bytes laid over the adapter's present image do not open "
                  "(PibOpen code %d: %s): its chain reaches past what would be written",
                  static_cast<unsigned>(copyLength), code, fault.text);
  if (m_watch != nullptr)
    m_watch->BeforeWrite(m_image, copyLength);
  if (!WriteBack(copyLength))
    return Refuse(error, "%s",
                  m_resetFailed ? "the adapter took the image but its reset failed"
                                : "the adapter refused the image");
  written = copyLength;
  return true;
}
