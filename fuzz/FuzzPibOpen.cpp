// PibOpen on arbitrary bytes, then the edits a strategy makes and the checksum
// update. The image is exactly the input, so any access past it is caught.
#include <cstdlib>
#include <vector>

#include "nvm/NvmChain.h"
#include "nvm/PibView.h"

namespace {

void Require(bool holds) {
  if (!holds) {
    std::abort();
  }
}

void Edit(const CPibView& view, const PibHandle& handle) {
  const uint8_t block[kPibPowerSaveBlockSize] = {150, 0, 0, 0, 11};
  const uint8_t entry[kPibListEntrySize] = {4};
  view.PibSetPowerSaveMode(handle, 0x0800);
  view.PibSetPowerSaveBlock(handle, block);
  view.PibClearEntryListA(handle);
  view.PibAppendEntryListA(handle, entry);
  view.PibAppendEntryListB(handle, entry);
  if (view.Layout().controlWord != 0) {
    const auto& view7420 = static_cast<const CPib7420View&>(view);
    view7420.PibSetControlByte(handle, 2);
    view7420.PibClearControlBit1(handle);
    view7420.PibClearControlBit0(handle);
  } else {
    static_cast<const CPib7500View&>(view).PibClearControlByte(handle);
  }
}

void OpenAndEdit(const CPibView& view, std::vector<uint8_t>& image) {
  const auto capacity = static_cast<uint32_t>(image.size());
  PibHandle handle;
  if (view.PibOpen(handle, image.data(), capacity) != kPibOk) {
    return;
  }
  // What goes back to the adapter holds the whole PIB and no byte beyond the buffer.
  const auto pibOffset = static_cast<size_t>(handle.pib - image.data());
  Require(pibOffset + view.Layout().pibLength <= handle.writeLength);
  Require(handle.writeLength <= image.size());
  uint16_t mode = 0;
  Require(view.PibGetPowerSaveMode(handle, mode) == kPibOk);
  Edit(view, handle);
  NvmUpdateChecksums(image.data(), capacity);
}

} // namespace

// Random bytes rarely carry right checksums, so the input is opened once as it
// is and once more after its checksums have been made right: the second run
// reaches the entries, the PIB header and the content rules.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const CPibView& view = *PibViewNamed(OSTREL_FUZZ_LAYOUT);
  std::vector<uint8_t> image(data, data + size);
  OpenAndEdit(view, image);
  image.assign(data, data + size);
  if (NvmUpdateChecksums(image.data(), static_cast<uint32_t>(size))) {
    OpenAndEdit(view, image);
  }
  return 0;
}
