#include "nvm/NvmImageBuilder.h"

#include <algorithm>
#include <cstring>

#include "bytes/ByteReader.h"
#include "bytes/LittleEndian.h"
#include "nvm/NvmChecksum.h"
#include "nvm/NvmHeader.h"
#include "nvm/PibView.h"

namespace {

constexpr uint32_t kFirstImage = kNvmHeaderSize;
constexpr uint32_t kLastImageLength = 32;

// Deterministic filler, so that checksums cover bytes of every value.
class Pattern {
public:
  explicit Pattern(uint32_t seed) : m_state(seed) {}
  uint8_t Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return static_cast<uint8_t>(m_state);
  }
  void Fill(uint8_t* bytes, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i) {
      bytes[i] = Next();
    }
  }

private:
  uint32_t m_state;
};

} // namespace

std::vector<uint8_t> NvmLe32(uint32_t value) {
  std::vector<uint8_t> bytes(4);
  WriteLe32(bytes.data(), value);
  return bytes;
}

void NvmSealHeader(std::vector<uint8_t>& image, uint32_t at) {
  uint8_t* header = image.data() + at;
  const uint32_t offset = ReadLe32(header + kNvmImageOffset);
  const uint32_t length = ReadLe32(header + kNvmImageLength);
  if (FitsWithin(image.size(), offset, length)) {
    WriteLe32(header + kNvmImageChecksum, NvmChecksum(image.data() + offset, length));
  }
  WriteLe32(header + kNvmHeaderChecksum, NvmChecksum(header, kNvmHeaderChecksum));
}

void NvmPutHeader(std::vector<uint8_t>& image, uint32_t at, uint32_t imageOffset,
                  uint32_t imageLength, uint32_t nextHeader, uint32_t prevHeader) {
  uint8_t* header = image.data() + at;
  WriteLe32(header + kNvmImageOffset, imageOffset);
  WriteLe32(header + kNvmImageLength, imageLength);
  WriteLe32(header + kNvmNextHeader, nextHeader);
  WriteLe32(header + kNvmPrevHeader, prevHeader);
  NvmSealHeader(image, at);
}

NvmImageBuilder::NvmImageBuilder(const PibLayout& pibLayout, bool powerSaveOn, uint32_t pibHeader)
    : layout(pibLayout), image(pibLayout.imageCapacity, 0xFF), m_nPibHeader(pibHeader) {
  Pattern pattern(0x4E564D31);
  for (uint32_t at : {0u, PibHeader(), LastHeader()}) {
    pattern.Fill(image.data() + at, kNvmHeaderSize);
  }
  pattern.Fill(image.data() + LastHeader() + kNvmHeaderSize, kLastImageLength);
  WritePib();
  WritePowerSave(powerSaveOn);
  NvmPutHeader(image, PibHeader(), PibOffset(), layout.pibLength, LastHeader(), 0);
  NvmPutHeader(image, LastHeader(), LastHeader() + kNvmHeaderSize, kLastImageLength, kNvmChainEnd,
               PibHeader());
  SetEntries({{1, NvmLe32(1)},
              {2, NvmLe32(layout.versionMajor)},
              {5, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80}},
              {3, NvmLe32(layout.versionMinor)},
              {4, {}}});
}

uint32_t NvmImageBuilder::PibOffset() const {
  return m_nPibHeader + kNvmHeaderSize;
}

uint32_t NvmImageBuilder::LastHeader() const {
  return PibOffset() + layout.pibLength;
}

void NvmImageBuilder::WritePib() {
  uint8_t* pib = Pib();
  Pattern(0x50494231).Fill(pib, layout.pibLength);
  // Content that obeys every rule at its limit, each conditional one bound.
  for (const PibContentRule& rule : kPibContentRules) {
    if (rule.when != 0) {
      pib[rule.when] = rule.whenValue;
    }
    uint8_t* at = pib + rule.offset;
    switch (rule.kind) {
    case PibRuleKind::AtMost:
      *at = rule.limit;
      break;
    case PibRuleKind::BitsClear:
      *at &= static_cast<uint8_t>(~rule.limit);
      break;
    case PibRuleKind::Not:
      *at = static_cast<uint8_t>(rule.limit + 1);
      break;
    case PibRuleKind::SomeZero:
      at[kPibRuleRun - 1] = 0;
      break;
    case PibRuleKind::AllZero:
      std::memset(at, 0, kPibRuleRun);
      break;
    case PibRuleKind::AtMostInEachEntry:
      for (uint32_t i = 0; i < pib[kPibTableCount]; ++i) {
        at[kPibTableEntrySize * i] = rule.limit;
      }
      break;
    }
  }
}

void NvmImageBuilder::SetPowerSave(bool on) {
  WritePowerSave(on);
  Seal();
}

void NvmImageBuilder::WritePowerSave(bool on) {
  uint8_t* pib = Pib();
  WriteLe16(pib + layout.powerSaveMode, on ? 0x0800 : 0x0000);
  uint8_t* block = pib + layout.powerSaveBlock;
  std::memset(block, 0, kPibPowerSaveBlockSize);
  if (on) {
    WriteLe32(block, 150);
    WriteLe32(block + 4, 11);
  }
  for (uint32_t list : {layout.entryListA, layout.entryListB}) {
    WriteLe16(pib + list + kPibListCountOffset, on ? 1 : 0);
    if (on) {
      std::memset(pib + list, 0, kPibListEntrySize);
      WriteLe32(pib + list, 4);
      WriteLe32(pib + list + 36, 1);
    }
  }
  const bool is7420 = layout.controlWord != 0;
  if (is7420) {
    uint8_t* word = pib + layout.controlWord;
    WriteLe32(word, on ? ReadLe32(word) & ~3u : ReadLe32(word) | 3u);
  }
  pib[layout.controlByte] = on && is7420 ? 2 : 0;
}

void NvmImageBuilder::SetEntries(const std::vector<NvmTaggedEntry>& entries) {
  uint8_t* at = image.data() + kFirstImage;
  for (const NvmTaggedEntry& entry : entries) {
    WriteLe32(at, entry.type);
    WriteLe32(at + 4, static_cast<uint32_t>(entry.data.size()));
    std::copy(entry.data.begin(), entry.data.end(), at + 8);
    at += 8 + entry.data.size();
  }
  const auto length = static_cast<uint32_t>(at - image.data()) - kFirstImage;
  NvmPutHeader(image, 0, kFirstImage, length, PibHeader(), kNvmChainEnd);
}

void NvmImageBuilder::SetHeaderField(uint32_t header, uint32_t field, uint32_t value) {
  WriteLe32(image.data() + header + field, value);
}

void NvmImageBuilder::Seal() {
  for (uint32_t at : {0u, PibHeader(), LastHeader()}) {
    NvmSealHeader(image, at);
  }
}

bool NvmBuildImage(const char* layout, bool powerSaveOn, std::vector<uint8_t>& out) {
  const CPibView* view = PibViewNamed(layout);
  if (view == nullptr) {
    return false;
  }
  out = NvmImageBuilder(view->Layout(), powerSaveOn).image;
  return true;
}
