#include "nvm/PibView.h"

#include <cstring>

#include "bytes/LittleEndian.h"
#include "nvm/CCStreamAccessStrategy_MemoryBuffer.h"
#include "nvm/NvmChain.h"
#include "nvm/NvmHeader.h"

const CPib7420View Pib74201D3View(kPibLayout74201D3);
const CPib7420View Pib74201D4View(kPibLayout74201D4);
const CPib7500View Pib7500View(kPibLayout7500);

namespace {

constexpr uint32_t kVersionMajorEntry = 2;
constexpr uint32_t kVersionMinorEntry = 3;

// The u32 that begins the data of the first entry of `type`; false when there
// is no such entry or its data does not lie inside the stream.
bool ReadEntryValue(uint32_t type, const NvmImageRange& range, uint32_t& value, Fault* fault) {
  NvmEntryInfo entry;
  if (NvmFindEntry(type, range, entry)) {
    // The head was read inside the stream, so this sum cannot wrap.
    const uint32_t at = range.start + entry.offset + 8;
    uint8_t bytes[4];
    range.stream.Read(at, bytes, sizeof bytes);
    value = ReadLe32(bytes);
    if (!range.stream.Overrun()) {
      return true;
    }
  }
  SayFault(fault, "first image at 0x%04x: a version entry of type %u expected, none found",
           range.start, type);
  return false;
}

bool IsAllowedMode(uint16_t mode) {
  return mode == 0x0000 || mode == 0x0200 || mode == 0x0800 || mode == 0x2000 || mode == 0x8000;
}

} // namespace

int CPibView::PibOpen(PibHandle& handle, uint8_t* image, uint32_t capacity, Fault* fault) const {
  CCStreamAccessStrategy_MemoryBuffer stream(image, capacity);
  if (!NvmVerifyChain(stream, nullptr, fault)) {
    return kPibErrChain;
  }
  NvmHeader first;
  stream.Read(0, first.bytes, kNvmHeaderSize);
  const NvmImageRange firstImage{stream, first.imageOffset(), first.imageLength()};
  uint32_t major = 0;
  uint32_t minor = 0;
  if (!ReadEntryValue(kVersionMajorEntry, firstImage, major, fault) ||
      !ReadEntryValue(kVersionMinorEntry, firstImage, minor, fault)) {
    return kPibErrNoEntry;
  }

  // The geometry is settled before the handle changes, so a chain that cannot
  // hold the PIB leaves the handle as it was. The chain verified, so the PIB
  // header is read inside the stream unless the first header ends the chain.
  NvmHeader pibHeader;
  stream.Read(first.nextHeader(), pibHeader.bytes, kNvmHeaderSize);
  if (stream.Overrun()) {
    SayFault(fault, "header at 0x0000: a next header, the PIB's, expected, the chain's end found");
    return kPibErrChain;
  }
  NvmHeader linking;
  stream.Read(pibHeader.prevHeader(), linking.bytes, kNvmHeaderSize);
  if (stream.Overrun()) {
    SayFault(fault,
             "PIB header at 0x%04x: a previous header inside the buffer expected, 0x%x found",
             first.nextHeader(), pibHeader.prevHeader());
    return kPibErrChain;
  }
  const uint16_t pibLength = static_cast<uint16_t>(pibHeader.imageLength());
  const uint16_t writeLength = static_cast<uint16_t>(
      pibLength + static_cast<uint16_t>(linking.nextHeader()) + kNvmHeaderSize);
  // Writing back fewer bytes would cut the PIB in the adapter's flash; more
  // would read past the buffer.
  const uint32_t pibOffset = pibHeader.imageOffset();
  const uint64_t pibEnd = uint64_t{pibOffset} + pibLength;
  if (pibEnd > writeLength || writeLength > capacity) {
    SayFault(fault, "PIB header at 0x%04x: a write length from %u to %u expected, %u found",
             first.nextHeader(), static_cast<unsigned>(pibEnd), capacity, writeLength);
    return kPibErrChain;
  }

  handle.versionMinor = static_cast<uint8_t>(minor);
  handle.versionMajor = static_cast<uint8_t>(major);
  handle.pibLength = pibLength;
  handle.pibChecksum = pibHeader.imageChecksum();
  handle.writeLength = writeLength;
  return PibBind(handle, image + pibOffset, capacity - pibOffset, fault);
}

int CPibView::PibBind(PibHandle& handle, uint8_t* pib, uint32_t available, Fault* fault) const {
  handle.pib = pib;
  if (pib == nullptr) {
    SayFault(fault, "PIB: a PIB to bind expected, none found");
    return kPibErrNoPib;
  }
  handle.valid = 0;
  if (handle.versionMajor != m_layout.versionMajor ||
      handle.versionMinor != m_layout.versionMinor) {
    SayFault(fault, "PIB: version %u.%u expected, %u.%u found", m_layout.versionMajor,
             m_layout.versionMinor, handle.versionMajor, handle.versionMinor);
    return kPibErrVersion;
  }
  if (handle.pibLength != m_layout.pibLength) {
    SayFault(fault, "PIB: length %u expected, %u found", m_layout.pibLength, handle.pibLength);
    return kPibErrLength;
  }
  if (available < m_layout.pibLength) {
    SayFault(fault, "PIB: %u bytes inside the buffer expected, %u found", m_layout.pibLength,
             available);
    return kPibErrContent;
  }
  if (!PibValidateContent(pib, fault)) {
    return kPibErrContent;
  }
  handle.valid = 1;
  return kPibOk;
}

int CPibView::CheckHandle(const PibHandle& handle) const {
  if (handle.pib == nullptr) {
    return kPibErrNoPib;
  }
  if (handle.versionMajor != m_layout.versionMajor ||
      handle.versionMinor != m_layout.versionMinor) {
    return kPibErrHandleVersion;
  }
  if (handle.pibLength != m_layout.pibLength) {
    return kPibErrLength;
  }
  if (handle.valid == 0) {
    return kPibErrNotValid;
  }
  return kPibOk;
}

int CPibView::PibSetPowerSaveMode(const PibHandle& handle, uint16_t mode) const {
  if (const int code = CheckHandle(handle)) {
    return code;
  }
  if (!IsAllowedMode(mode)) {
    return kPibErrRefused;
  }
  WriteLe16(handle.pib + m_layout.powerSaveMode, mode);
  return kPibOk;
}

int CPibView::PibGetPowerSaveMode(const PibHandle& handle, uint16_t& mode) const {
  if (const int code = CheckHandle(handle)) {
    return code;
  }
  mode = ReadLe16(handle.pib + m_layout.powerSaveMode);
  return kPibOk;
}

int CPibView::PibSetPowerSaveBlock(const PibHandle& handle,
                                   const uint8_t (&block)[kPibPowerSaveBlockSize]) const {
  if (const int code = CheckHandle(handle)) {
    return code;
  }
  std::memcpy(handle.pib + m_layout.powerSaveBlock, block, sizeof block);
  return kPibOk;
}

int CPibView::PibClearEntryListA(const PibHandle& handle) const {
  return ClearEntryList(handle, m_layout.entryListA);
}

int CPibView::PibClearEntryListB(const PibHandle& handle) const {
  return ClearEntryList(handle, m_layout.entryListB);
}

int CPibView::PibAppendEntryListA(const PibHandle& handle,
                                  const uint8_t (&entry)[kPibListEntrySize]) const {
  return AppendEntryList(handle, m_layout.entryListA, entry);
}

int CPibView::PibAppendEntryListB(const PibHandle& handle,
                                  const uint8_t (&entry)[kPibListEntrySize]) const {
  return AppendEntryList(handle, m_layout.entryListB, entry);
}

int CPibView::ClearEntryList(const PibHandle& handle, uint32_t list) const {
  if (const int code = CheckHandle(handle)) {
    return code;
  }
  WriteLe16(handle.pib + list + kPibListCountOffset, 0);
  return kPibOk;
}

int CPibView::AppendEntryList(const PibHandle& handle, uint32_t list,
                              const uint8_t (&entry)[kPibListEntrySize]) const {
  if (const int code = CheckHandle(handle)) {
    return code;
  }
  uint8_t* count = handle.pib + list + kPibListCountOffset;
  const uint16_t used = ReadLe16(count);
  if (used >= kPibListCapacity) {
    return kPibErrRefused;
  }
  std::memcpy(handle.pib + list + kPibListEntrySize * used, entry, sizeof entry);
  WriteLe16(count, static_cast<uint16_t>(used + 1));
  return kPibOk;
}

int CPib7420View::PibClearControlBit0(const PibHandle& handle) const {
  return ClearControlBits(handle, 1u << 0);
}

int CPib7420View::PibClearControlBit1(const PibHandle& handle) const {
  return ClearControlBits(handle, 1u << 1);
}

int CPib7420View::ClearControlBits(const PibHandle& handle, uint32_t mask) const {
  if (const int code = CheckHandle(handle)) {
    return code;
  }
  uint8_t* word = handle.pib + Layout().controlWord;
  WriteLe32(word, ReadLe32(word) & ~mask);
  return kPibOk;
}

int CPib7420View::PibSetControlByte(const PibHandle& handle, uint8_t value) const {
  if (const int code = CheckHandle(handle)) {
    return code;
  }
  handle.pib[Layout().controlByte] = value;
  return kPibOk;
}

int CPib7500View::PibClearControlByte(const PibHandle& handle) const {
  if (const int code = CheckHandle(handle)) {
    return code;
  }
  handle.pib[Layout().controlByte] = 0;
  return kPibOk;
}

const char* PibOpenCodeText(int code) {
  switch (code) {
  case kPibOk:
    return "opened";
  case kPibErrChain:
    return "the header chain, a checksum or the PIB's content failed its check";
  case kPibErrVersion:
    return "the PIB version is not the layout's";
  case kPibErrNoEntry:
    return "the first image has no version entries";
  case kPibErrNoPib:
    return "no PIB is bound";
  case kPibErrLength:
    return "the PIB length is not the layout's";
  default:
    return "unknown result";
  }
}

const CPibView* PibViewNamed(const char* name) {
  static const CPibView* const kViews[] = {&Pib74201D3View, &Pib74201D4View, &Pib7500View};
  for (const CPibView* view : kViews) {
    if (name != nullptr && std::strcmp(view->Layout().name, name) == 0)
      return view;
  }
  return nullptr;
}
