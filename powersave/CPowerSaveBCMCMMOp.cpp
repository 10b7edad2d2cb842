#include "powersave/CPowerSaveBCMCMMOp.h"

#include "bytes/ByteReader.h"

#include <cstring>

namespace {

constexpr uint16_t kSwitchBit = 0x8000;
// The switch bit as the data bytes hold it: the high byte of a little-endian word.
constexpr std::size_t kSwitchByte = 1;
constexpr uint8_t kSwitchByteBit = kSwitchBit >> 8;
// The switch bit's new value, indexed by the argument of SetPowerSave.
constexpr uint16_t kSwitchBitForValue[2] = {0, 1};

// The switch bit lies in the first data word, so data of fewer than 2 bytes
// has none; data past the record cannot be a reply of this parameter.
bool HasSwitch(const BrcmParamReply& reply) {
  return reply.DataLength() >= 2 && reply.DataLength() <= BrcmParamReply::kDataCapacity;
}

uint16_t SwitchState(const BrcmParamReply& reply) {
  if (!HasSwitch(reply))
    return 2;
  return (reply.FirstWord() & kSwitchBit) != 0 ? 1 : 0;
}

// Restore writes the data back whole, so a copy holds 1 to 1492 bytes of it.
bool FitsTheRequest(const BrcmParamReply& reply) {
  return reply.DataLength() > 0 && reply.DataLength() <= BrcmParamRequest::kDataCapacity;
}

// The first of the fields that shape the parameter in which `saved` differs
// from `present`; null when they agree.
const char* ShapeDiffers(const BrcmParamReply& saved, const BrcmParamReply& present, unsigned& ours,
                         unsigned& theirs) {
  const struct {
    const char* name;
    unsigned saved, present;
  } fields[] = {
      {"leading byte", saved.Lead(), present.Lead()},
      {"element size", saved.ElementSize(), present.ElementSize()},
      {"element count", saved.ElementCount(), present.ElementCount()},
  };
  for (const auto& field : fields) {
    if (field.saved != field.present) {
      ours = field.saved;
      theirs = field.present;
      return field.name;
    }
  }
  return nullptr;
}

// True, with the first data byte in which `saved` differs from `present`
// beyond the switch bit and both its values, when there is one. Both have the
// same shape, so the same data length.
bool DataDiffers(const BrcmParamReply& saved, const BrcmParamReply& present, unsigned& at,
                 unsigned& ours, unsigned& theirs) {
  ByteReader savedData(saved.bytes, BrcmParamReply::kSize);
  ByteReader presentData(present.bytes, BrcmParamReply::kSize);
  const std::size_t length = saved.DataLength();
  for (std::size_t i = 0; i < length; ++i) {
    ours = savedData.U8(BrcmParamReply::kDataOffset + i);
    theirs = presentData.U8(BrcmParamReply::kDataOffset + i);
    const unsigned ignored = i == kSwitchByte ? kSwitchByteBit : 0;
    if (((ours ^ theirs) & ~ignored) != 0) {
      at = static_cast<unsigned>(i);
      return true;
    }
  }
  return false;
}

void FillCopy(const BrcmParamReply& reply, PowerSaveCopy& copy) {
  copy.kind = BackupKind::Param41;
  std::memset(copy.layout, 0, sizeof copy.layout);
  std::memset(copy.address, 0, sizeof copy.address);
  copy.size = BrcmParamReply::kSize;
  std::memcpy(copy.bytes, reply.bytes, BrcmParamReply::kSize);
}

} // namespace

uint16_t CPowerSaveBCMCMMOp::GetPowerSave() {
  BrcmParamReply reply = {};
  return ReadParam(reply) ? SwitchState(reply) : 2;
}

uint16_t CPowerSaveBCMCMMOp::CopyState(const PowerSaveCopy& copy) const {
  if (copy.kind != BackupKind::Param41 || copy.size != BrcmParamReply::kSize)
    return 2;
  BrcmParamReply reply;
  std::memcpy(reply.bytes, copy.bytes, BrcmParamReply::kSize);
  return SwitchState(reply);
}

bool CPowerSaveBCMCMMOp::SetPowerSave(uint16_t value) {
  if (value > 1)
    return false;
  BrcmParamReply reply = {};
  if (!ReadParam(reply) || !HasSwitch(reply))
    return false;
  KeepBefore(reply);
  const uint16_t word = reply.FirstWord();
  reply.SetFirstWord(
      static_cast<uint16_t>((word & ~kSwitchBit) | (kSwitchBitForValue[value] << 15)));
  if (m_watch != nullptr)
    m_watch->BeforeWrite(reply.bytes, BrcmParamReply::kSize);
  return SendParam(reply);
}

void CPowerSaveBCMCMMOp::KeepBefore(const BrcmParamReply& reply) {
  if (m_watch == nullptr)
    return;
  FillCopy(reply, m_watch->Before());
}

bool CPowerSaveBCMCMMOp::ReadParam(BrcmParamReply& reply) {
  return m_device.BrcmGetParam(reply, kBrcmPowerSaveParam) != 0;
}

bool CPowerSaveBCMCMMOp::SendParam(const BrcmParamReply& reply) {
  // A parameter whose data does not fit the request would be sent cut short
  // and corrupt the device's copy, so it is not written at all.
  BrcmParamRequest request = {};
  return BrcmRequestFromReply(reply, kBrcmPowerSaveParam, request) &&
         m_device.BrcmSetParam(request) != 0;
}

bool CPowerSaveBCMCMMOp::SaveCopy(PowerSaveCopy& copy, PowerSaveError& error) {
  copy.size = 0;
  BrcmParamReply reply = {};
  if (!ReadParam(reply))
    return Refuse(error, "the adapter did not hand over parameter 41");
  FillCopy(reply, copy);
  if (reply.DataLength() == 0)
    return Refuse(error, "the adapter's parameter 41 holds no data");
  // A copy that restore would refuse is no copy at all.
  if (!FitsTheRequest(reply))
    return Refuse(error,
                  "the adapter's parameter 41 holds %u bytes of data, more than the %u a write "
                  "can carry",
                  static_cast<unsigned>(reply.DataLength()),
                  static_cast<unsigned>(BrcmParamRequest::kDataCapacity));
  return true;
}

// The copy must describe the parameter the adapter has now: same leading
// byte, element size and count. Anything else would reshape it. Unless
// forced, its data must be the adapter's but for the switch: a parameter
// holds more than the switch, and another adapter's would replace it unseen.
bool CPowerSaveBCMCMMOp::RestoreCopy(const PowerSaveCopy& copy, std::string_view firmware,
                                     bool force, uint32_t& written, PowerSaveError& error) {
  if (!CheckCopyIdentity(copy, firmware, error))
    return false;
  if (copy.size != BrcmParamReply::kSize)
    return Refuse(error, "the copy holds %u bytes, a parameter reply %u",
                  static_cast<unsigned>(copy.size), static_cast<unsigned>(BrcmParamReply::kSize));
  BrcmParamReply saved;
  std::memcpy(saved.bytes, copy.bytes, BrcmParamReply::kSize);
  if (!FitsTheRequest(saved))
    return Refuse(error, "the copy's parameter 41 holds %u bytes of data; it must hold 1 to %u",
                  static_cast<unsigned>(saved.DataLength()),
                  static_cast<unsigned>(BrcmParamRequest::kDataCapacity));
  BrcmParamReply present = {};
  if (!ReadParam(present))
    return Refuse(error, "the adapter did not hand over its present parameter 41");
  unsigned ours = 0, theirs = 0;
  if (const char* field = ShapeDiffers(saved, present, ours, theirs))
    return Refuse(error, "the copy's %s is %u, the adapter's parameter 41 has %u", field, ours,
                  theirs);
  unsigned at = 0;
  if (!force && DataDiffers(saved, present, at, ours, theirs))
    return Refuse(error,
                  "the copy's parameter 41 differs from the adapter's beyond the power-save "
                  "switch, at data byte %u: 0x%02x in the copy, 0x%02x on the adapter",
                  at, ours, theirs);
  KeepBefore(present);
  if (m_watch != nullptr)
    m_watch->BeforeWrite(saved.bytes, BrcmParamReply::kSize);
  if (!SendParam(saved))
    return Refuse(error, "the adapter refused parameter 41");
  written = static_cast<uint32_t>(BrcmParamReply::kDataOffset + saved.DataLength());
  return true;
}
