#pragma once
#include <cstdint>
#include <vector>

#include "nvm/PibLayout.h"

// Writes NVM images: valid ones for each PIB layout, and the means to break
// any field of them. Test support, shared with the simulated adapter; unlike
// the readers it allocates.

struct NvmTaggedEntry {
  uint32_t type;
  std::vector<uint8_t> data;
};

// A u32 as the 4 little-endian bytes of a tagged entry's data.
std::vector<uint8_t> NvmLe32(uint32_t value);

// Gives the header at `at` a fresh image checksum (when its image lies inside
// the buffer) and then a fresh header checksum.
void NvmSealHeader(std::vector<uint8_t>& image, uint32_t at);

// Writes the interpreted fields of a header at `at` and seals it.
void NvmPutHeader(std::vector<uint8_t>& image, uint32_t at, uint32_t imageOffset,
                  uint32_t imageLength, uint32_t nextHeader, uint32_t prevHeader);

// A three-header image of the layout's capacity: the first header at 0 with
// its tagged entries right after it, the PIB header at `pibHeader` with the PIB
// right after it, and a last header with a small image after the PIB. Unused
// bytes hold 0xFF, as erased flash does.
class NvmImageBuilder {
public:
  static constexpr uint32_t kDefaultPibHeader = 512;

  NvmImageBuilder(const PibLayout& layout, bool powerSaveOn,
                  uint32_t pibHeader = kDefaultPibHeader);

  uint32_t PibHeader() const { return m_nPibHeader; }
  uint32_t PibOffset() const;
  uint32_t LastHeader() const;
  // Where the written-back part of the image ends: just past the PIB.
  uint32_t WriteLength() const { return LastHeader(); }
  uint8_t* Pib() { return image.data() + PibOffset(); }

  // Replaces the first image's entries; the default ones are the types 1, 2
  // (version major), 5, 3 (version minor) and 4, in this order.
  void SetEntries(const std::vector<NvmTaggedEntry>& entries);
  // Writes the power-save fields as an enable or a disable leaves them.
  void SetPowerSave(bool on);
  void SetHeaderField(uint32_t header, uint32_t field, uint32_t value);
  // Fresh checksums for the three headers, in chain order.
  void Seal();

  const PibLayout layout;
  std::vector<uint8_t> image;

private:
  void WritePib();
  void WritePowerSave(bool on);

  uint32_t m_nPibHeader;
};

// The image the simulated adapter serves: the layout named `layout`
// (PibLayout::name), power save on or off. False for any other name.
bool NvmBuildImage(const char* layout, bool powerSaveOn, std::vector<uint8_t>& out);
