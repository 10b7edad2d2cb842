#include "powersave/PowerSaveEdit.h"

#include "nvm/NvmChain.h"

namespace {

// Mode word by the argument of SetPowerSave: 0 disables, 1 enables.
constexpr uint16_t kModeTable[2] = {0x0000, 0x0800};

void PutU32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
  at[3] = static_cast<uint8_t>(value >> 24);
}

struct PowerSaveRecords {
  uint8_t entry[kPibListEntrySize] = {};
  uint8_t block[kPibPowerSaveBlockSize] = {};
};

// The list entry and the power-save block an enable writes; bytes not named
// here are zero.
PowerSaveRecords EnableRecords() {
  PowerSaveRecords records;
  PutU32(records.entry + 0, 4);
  PutU32(records.entry + 36, 1);
  PutU32(records.block + 0, 150);
  PutU32(records.block + 4, 11);
  return records;
}

// Both lists end with the one new entry, whatever they held before.
int ReplaceEntryLists(const CPibView& view, const PibHandle& handle, const PowerSaveRecords& r) {
  int code = view.PibClearEntryListA(handle);
  if (code == kPibOk)
    code = view.PibAppendEntryListA(handle, r.entry);
  if (code == kPibOk)
    code = view.PibClearEntryListB(handle);
  if (code == kPibOk)
    code = view.PibAppendEntryListB(handle, r.entry);
  return code;
}

int Edit7420(const CPib7420View& view, const PibHandle& handle, uint16_t value) {
  int code = view.PibSetPowerSaveMode(handle, kModeTable[value]);
  if (value == 1) {
    const PowerSaveRecords records = EnableRecords();
    if (code == kPibOk)
      code = ReplaceEntryLists(view, handle, records);
    if (code == kPibOk)
      code = view.PibSetPowerSaveBlock(handle, records.block);
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
    const PowerSaveRecords records = EnableRecords();
    if (code == kPibOk)
      code = ReplaceEntryLists(Pib7500View, handle, records);
    if (code == kPibOk)
      code = Pib7500View.PibSetPowerSaveBlock(handle, records.block);
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
