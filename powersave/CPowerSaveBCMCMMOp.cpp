#include "powersave/CPowerSaveBCMCMMOp.h"

#include "devicelib/KelvaneCalls.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t kSwitchBit = 0x8000;
// The switch bit's new value, indexed by the argument of SetPowerSave.
constexpr uint16_t kSwitchBitForValue[2] = {0, 1};

bool ReadParam(BrcmParamReply& reply) {
  return KelvaneBrcmGetParam(reply, kBrcmPowerSaveParam) != 0;
}

// A parameter that holds data, all of it inside the record.
bool HoldsData(const BrcmParamReply& reply) {
  return reply.DataLength() > 0 && reply.DataLength() <= BrcmParamReply::kDataCapacity;
}

std::string Field(const char* name, unsigned copy, unsigned present) {
  return std::string("the copy's ") + name + " is " + std::to_string(copy) +
         ", the adapter's parameter 41 has " + std::to_string(present);
}

} // namespace

uint16_t CPowerSaveBCMCMMOp::GetPowerSave() {
  BrcmParamReply reply = {};
  if (!ReadParam(reply) || reply.ElementCount() == 0)
    return 2;
  // Data that would run past the record cannot be a reply of this parameter.
  if (reply.DataLength() > BrcmParamReply::kDataCapacity)
    return 2;
  return (reply.FirstWord() & kSwitchBit) != 0 ? 1 : 0;
}

bool CPowerSaveBCMCMMOp::SetPowerSave(uint16_t value) {
  if (value > 1)
    return false;
  BrcmParamReply reply = {};
  if (!ReadParam(reply))
    return false;
  const uint16_t word = reply.FirstWord();
  reply.SetFirstWord(
      static_cast<uint16_t>((word & ~kSwitchBit) | (kSwitchBitForValue[value] << 15)));
  return SendParam(reply);
}

bool CPowerSaveBCMCMMOp::SendParam(const BrcmParamReply& reply) {
  // A parameter whose data does not fit the request would be sent cut short
  // and corrupt the device's copy, so it is not written at all.
  const std::size_t length = reply.DataLength();
  if (length > BrcmParamRequest::kDataCapacity)
    return false;
  BrcmParamRequest request = {};
  request.bytes[BrcmParamRequest::kLeadOffset] = reply.Lead();
  request.bytes[BrcmParamRequest::kParamOffset] = kBrcmPowerSaveParam & 0xFF;
  request.bytes[BrcmParamRequest::kParamOffset + 1] = kBrcmPowerSaveParam >> 8;
  request.bytes[BrcmParamRequest::kElementSizeOffset] = reply.ElementSize();
  std::memcpy(&request.bytes[BrcmParamRequest::kElementCountOffset],
              &reply.bytes[BrcmParamReply::kElementCountOffset], 2);
  std::memcpy(&request.bytes[BrcmParamRequest::kDataOffset],
              &reply.bytes[BrcmParamReply::kDataOffset], length);
  return KelvaneBrcmSetParam(request) != 0;
}

bool CPowerSaveBCMCMMOp::SaveCopy(BackupCopy& copy, std::string& error) {
  BrcmParamReply reply = {};
  if (!ReadParam(reply)) {
    error = "the adapter did not hand over parameter 41";
    return false;
  }
  if (!HoldsData(reply)) {
    error = "the adapter's parameter 41 holds no data";
    return false;
  }
  copy.kind = BackupKind::Param41;
  copy.layout.clear();
  std::fill(std::begin(copy.address), std::end(copy.address), 0);
  copy.bytes.assign(reply.bytes, reply.bytes + BrcmParamReply::kSize);
  return true;
}

// The copy must describe the parameter the adapter has now: same leading
// byte, element size and count. Anything else would reshape it.
bool CPowerSaveBCMCMMOp::RestoreCopy(const BackupCopy& copy, std::string_view firmware, bool,
                                     std::vector<uint8_t>& written, std::string& error) {
  if (!CheckCopyIdentity(copy, firmware, error))
    return false;
  if (copy.bytes.size() != BrcmParamReply::kSize) {
    error = "the copy holds " + std::to_string(copy.bytes.size()) + " bytes, a parameter reply " +
            std::to_string(BrcmParamReply::kSize);
    return false;
  }
  BrcmParamReply saved;
  std::copy(copy.bytes.begin(), copy.bytes.end(), saved.bytes);
  if (!HoldsData(saved) || saved.DataLength() > BrcmParamRequest::kDataCapacity) {
    error = "the copy's parameter 41 holds " + std::to_string(saved.DataLength()) +
            " bytes of data; it must hold 1 to " + std::to_string(BrcmParamRequest::kDataCapacity);
    return false;
  }
  BrcmParamReply present = {};
  if (!ReadParam(present)) {
    error = "the adapter did not hand over its present parameter 41";
    return false;
  }
  std::string differs;
  if (saved.Lead() != present.Lead())
    differs = Field("leading byte", saved.Lead(), present.Lead());
  else if (saved.ElementSize() != present.ElementSize())
    differs = Field("element size", saved.ElementSize(), present.ElementSize());
  else if (saved.ElementCount() != present.ElementCount())
    differs = Field("element count", saved.ElementCount(), present.ElementCount());
  if (!differs.empty()) {
    error = differs;
    return false;
  }
  if (!SendParam(saved)) {
    error = "the adapter refused parameter 41";
    return false;
  }
  written.assign(saved.bytes, saved.bytes + BrcmParamReply::kDataOffset + saved.DataLength());
  return true;
}
