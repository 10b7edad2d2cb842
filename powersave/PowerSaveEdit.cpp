#include "powersave/PowerSaveEdit.h"

#include "bytes/ByteReader.h"
#include "nvm/NvmChain.h"

namespace {

// Mode word by the argument of SetPowerSave: 0 disables, 1 enables.
constexpr uint16_t kModeTable[2] = {0x0000, 0x0800};

struct PowerSaveRecords {
  uint8_t entry[kPibListEntrySize] = {};
  uint8_t block[kPibPowerSaveBlockSize] = {};
};

// The list entry and the power-save block an enable writes; bytes not named
// here are zero.
PowerSaveRecords EnableRecords() {
  PowerSaveRecords records;
  ByteWriter entry(records.entry, sizeof records.entry);
  entry.Le32(0, 4);
  entry.Le32(36, 1);
  ByteWriter block(records.block, sizeof records.block);
  block.Le32(0, 150);
  block.Le32(4, 11);
  return records;
}

// What an enable writes after the mode word on every layout: both lists end
// with the one new entry, whatever they held before, and the power-save block
// is set. The control fields after them are the layout's own.
int WriteEnableRecords(const CPibView& view, const PibHandle& handle) {
  const PowerSaveRecords records = EnableRecords();
  int code = view.PibClearEntryListA(handle);
  if (code == kPibOk)
    code = view.PibAppendEntryListA(handle, records.entry);
  if (code == kPibOk)
    code = view.PibClearEntryListB(handle);
  if (code == kPibOk)
    code = view.PibAppendEntryListB(handle, records.entry);
  if (code == kPibOk)
    code = view.PibSetPowerSaveBlock(handle, records.block);
  return code;
}

int Edit7420(const CPib7420View& view, const PibHandle& handle, uint16_t value) {
  int code = view.PibSetPowerSaveMode(handle, kModeTable[value]);
  if (value == 1) {
    if (code == kPibOk)
      code = WriteEnableRecords(view, handle);
    if (code == kPibOk)
      code = view.PibSetControlByte(handle, 2);
    if (code == kPibOk)
      code = view.PibClearControlBit1(handle);
    if (code == kPibOk)
      code = view.PibClearControlBit0(handle);
  } else {
    const uint8_t zeroBlock[kPibPowerSaveBlockSize] = {};
    if (code == kPibOk)
      code = view.PibSetPowerSaveBlock(handle, zeroBlock);
    if (code == kPibOk)
      code = view.PibClearEntryListA(handle);
    if (code == kPibOk)
      code = view.PibClearEntryListB(handle);
    if (code == kPibOk)
      code = view.PibSetControlByte(handle, 0);
  }
  return code;
}

// Disabling a 7500 changes the mode word alone.
int Edit7500(const PibHandle& handle, uint16_t value) {
  int code = Pib7500View.PibSetPowerSaveMode(handle, kModeTable[value]);
  if (value == 1) {
    if (code == kPibOk)
      code = WriteEnableRecords(Pib7500View, handle);
    if (code == kPibOk)
      code = Pib7500View.PibClearControlByte(handle);
  }
  return code;
}

// Renews the checksums, then insists that the image opens again: an image the
// program would itself reject never goes back to the adapter's flash.
bool Seal(const CPibView& view, PibHandle& handle, uint8_t* image, uint32_t capacity) {
  return NvmUpdateChecksums(image, capacity) && handle.pib != nullptr &&
         view.PibOpen(handle, image, capacity) == kPibOk;
}

} // namespace

uint16_t PowerSaveRead(const CPibView& view, PibHandle& handle, uint8_t* image, uint32_t capacity) {
  uint16_t mode = 0;
  if (view.PibOpen(handle, image, capacity) != kPibOk ||
      view.PibGetPowerSaveMode(handle, mode) != kPibOk)
    return 2;
  return mode != 0 ? 1 : 0;
}

bool PowerSaveEdit7420(const CPib7420View& view, PibHandle& handle, uint8_t* image,
                       uint32_t capacity, uint16_t value) {
  return value <= 1 && view.PibOpen(handle, image, capacity) == kPibOk &&
         Edit7420(view, handle, value) == kPibOk && Seal(view, handle, image, capacity);
}

bool PowerSaveEdit7500(PibHandle& handle, uint8_t* image, uint32_t capacity, uint16_t value) {
  return value <= 1 && Pib7500View.PibOpen(handle, image, capacity) == kPibOk &&
         Edit7500(handle, value) == kPibOk && Seal(Pib7500View, handle, image, capacity);
}
