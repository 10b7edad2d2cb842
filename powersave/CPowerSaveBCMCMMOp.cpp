#include "powersave/CPowerSaveBCMCMMOp.h"

#include "devicelib/KelvaneCalls.h"

#include <cstring>

namespace {

constexpr uint16_t kSwitchBit = 0x8000;
// The switch bit's new value, indexed by the argument of SetPowerSave.
constexpr uint16_t kSwitchBitForValue[2] = {0, 1};

bool ReadParam(BrcmParamReply& reply) {
  return KelvaneBrcmGetParam(reply, kBrcmPowerSaveParam) != 0;
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
