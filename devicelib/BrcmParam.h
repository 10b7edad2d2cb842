#pragma once
// The parameter records exchanged with the device library for Broadcom chips.
// Multi-byte fields are little-endian; every field is read and written at its
// byte offset, within the record.

#include "bytes/ByteReader.h"

#include <cstddef>
#include <cstdint>

constexpr int kBrcmPowerSaveParam = 41;

// Filled by BrcmGetParam: leading byte, element size, element count, data.
struct BrcmParamReply {
  static constexpr std::size_t kSize = 1500;
  static constexpr std::size_t kLeadOffset = 0;
  static constexpr std::size_t kElementSizeOffset = 1;
  static constexpr std::size_t kElementCountOffset = 2;
  static constexpr std::size_t kDataOffset = 4;
  static constexpr std::size_t kDataCapacity = kSize - kDataOffset; // 1496

  unsigned char bytes[kSize];

  uint8_t Lead() const { return Reader().U8(kLeadOffset); }
  uint8_t ElementSize() const { return Reader().U8(kElementSizeOffset); }
  uint16_t ElementCount() const { return Reader().Le16(kElementCountOffset); }
  std::size_t DataLength() const { return std::size_t{ElementSize()} * ElementCount(); }
  uint16_t FirstWord() const { return Reader().Le16(kDataOffset); }
  void SetFirstWord(uint16_t word) { ByteWriter(bytes, kSize).Le16(kDataOffset, word); }

private:
  ByteReader Reader() const { return ByteReader(bytes, kSize); }
};

// Passed to BrcmSetParam: the reply's layout with the parameter number
// inserted after the leading byte.
struct BrcmParamRequest {
  static constexpr std::size_t kSize = 1498;
  static constexpr std::size_t kLeadOffset = 0;
  static constexpr std::size_t kParamOffset = 1;
  static constexpr std::size_t kElementSizeOffset = 3;
  static constexpr std::size_t kElementCountOffset = 4;
  static constexpr std::size_t kDataOffset = 6;
  static constexpr std::size_t kDataCapacity = kSize - kDataOffset; // 1492

  unsigned char bytes[kSize];

  int Param() const { return ByteReader(bytes, kSize).Le16(kParamOffset); }
};

static_assert(sizeof(BrcmParamReply) == BrcmParamReply::kSize, "reply record size");
static_assert(sizeof(BrcmParamRequest) == BrcmParamRequest::kSize, "request record size");
static_assert(BrcmParamReply::kElementCountOffset - BrcmParamReply::kElementSizeOffset ==
                      BrcmParamRequest::kElementCountOffset -
                          BrcmParamRequest::kElementSizeOffset &&
                  BrcmParamReply::kDataOffset - BrcmParamReply::kElementSizeOffset ==
                      BrcmParamRequest::kDataOffset - BrcmParamRequest::kElementSizeOffset,
              "element size, count and data follow one another alike in both records");

// Copies the leading byte, the element size and count and the data from one
// record to the other; false, copying nothing, when the data does not lie
// inside both.
template <typename From, typename To> bool BrcmCopyParam(const From& from, To& to) {
  ByteReader in(from.bytes, From::kSize);
  const std::size_t length =
      From::kDataOffset - From::kElementSizeOffset +
      std::size_t{in.U8(From::kElementSizeOffset)} * in.Le16(From::kElementCountOffset);
  const uint8_t* shapeAndData = in.At(From::kElementSizeOffset, length);
  if (shapeAndData == nullptr || !FitsWithin(To::kSize, To::kElementSizeOffset, length))
    return false;
  ByteWriter out(to.bytes, To::kSize);
  out.U8(To::kLeadOffset, in.U8(From::kLeadOffset));
  out.Copy(To::kElementSizeOffset, shapeAndData, length);
  return true;
}

// The request that writes back, as parameter `param`, what `reply` holds;
// false, writing nothing, when its data does not fit the request.
inline bool BrcmRequestFromReply(const BrcmParamReply& reply, int param,
                                 BrcmParamRequest& request) {
  if (!BrcmCopyParam(reply, request))
    return false;
  ByteWriter(request.bytes, BrcmParamRequest::kSize)
      .Le16(BrcmParamRequest::kParamOffset, static_cast<uint16_t>(param));
  return true;
}

// The reply that reads back what `request` wrote; false when its data does
// not lie inside the request.
inline bool BrcmReplyFromRequest(const BrcmParamRequest& request, BrcmParamReply& reply) {
  return BrcmCopyParam(request, reply);
}
