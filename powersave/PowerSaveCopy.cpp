#include "powersave/PowerSaveCopy.h"

#include "bytes/ByteReader.h"
#include "devicelib/BrcmParam.h"

uint32_t PowerSaveContentSize(BackupKind kind, const uint8_t* bytes, uint32_t size) {
  if (kind != BackupKind::Param41)
    return size;
  ByteReader reply(bytes, size);
  const std::size_t end =
      BrcmParamReply::kDataOffset + std::size_t{reply.U8(BrcmParamReply::kElementSizeOffset)} *
                                        reply.Le16(BrcmParamReply::kElementCountOffset);
  // A reply too short to say where its data ends is all content.
  if (reply.Failed() || end > size)
    return size;
  return static_cast<uint32_t>(end);
}
