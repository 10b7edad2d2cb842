#pragma once
#include <cstdint>

#include "bytes/Fault.h"
#include "nvm/PibHandle.h"
#include "nvm/PibLayout.h"

// Result codes of the PIB operations; 0 is success and 1 is never used.
constexpr int kPibOk = 0;
// PibOpen: the chain failed verification, or it cannot hold the PIB inside the
// buffer: no PIB header, a `prevHeader` outside it, or a write length that
// would cut the PIB or pass the buffer's end. The handle is then unchanged.
constexpr int kPibErrChain = 2;
// PibBind: the PIB broke a content rule or does not fit in the bytes available.
constexpr int kPibErrContent = 2;
// PibBind: the version read from the image is not the view's.
constexpr int kPibErrVersion = 3;
// PibOpen: no entry of type 2 or 3 in the first image, or its value lies
// outside the buffer. The handle is then unchanged.
constexpr int kPibErrNoEntry = 4;
// Accessors: the handle was not accepted.
constexpr int kPibErrNotValid = 4;
// PibBind, accessors: no PIB is bound.
constexpr int kPibErrNoPib = 5;
// Accessors: the handle's version is not the view's.
constexpr int kPibErrHandleVersion = 6;
// PibBind, accessors: the PIB length is not the view's.
constexpr int kPibErrLength = 7;
// A mode value that is not allowed, or a list that already holds 3 entries.
constexpr int kPibErrRefused = 8;

// A typed view onto the PIB of one layout. Views hold only their layout's
// constants; the state lives in the caller's PibHandle. Nothing allocates.
class CPibView {
public:
  constexpr explicit CPibView(const PibLayout& layout) : m_layout(layout) {}
  const PibLayout& Layout() const { return m_layout; }

  // Verifies the chain of the `capacity`-byte image, reads the version from
  // the first image's entries, locates the PIB through the second header and
  // binds it. On codes 2 and 4 the handle is unchanged.
  int PibOpen(PibHandle& handle, uint8_t* image, uint32_t capacity) const;
  // Binds `pib`, of which `available` bytes lie inside the buffer, and checks
  // version, length and content against the handle's fields.
  int PibBind(PibHandle& handle, uint8_t* pib, uint32_t available) const;

  int PibSetPowerSaveMode(const PibHandle& handle, uint16_t mode) const;
  int PibGetPowerSaveMode(const PibHandle& handle, uint16_t& mode) const;
  int PibSetPowerSaveBlock(const PibHandle& handle,
                           const uint8_t (&block)[kPibPowerSaveBlockSize]) const;
  int PibClearEntryListA(const PibHandle& handle) const;
  int PibClearEntryListB(const PibHandle& handle) const;
  int PibAppendEntryListA(const PibHandle& handle, const uint8_t (&entry)[kPibListEntrySize]) const;
  int PibAppendEntryListB(const PibHandle& handle, const uint8_t (&entry)[kPibListEntrySize]) const;

  // The content rules, the same for every layout: rules 1 to 12 on the PIB,
  // rules 1 to 10 on its device block (PIB offset 12).
  static bool PibValidateContent(const uint8_t* pib, Fault* fault = nullptr);
  static bool PibValidateDeviceBlock(const uint8_t* deviceBlock, Fault* fault = nullptr);
  static bool IsAllZero16(const uint8_t* bytes);

protected:
  // The check every accessor makes before it touches the PIB.
  int CheckHandle(const PibHandle& handle) const;

private:
  int ClearEntryList(const PibHandle& handle, uint32_t list) const;
  int AppendEntryList(const PibHandle& handle, uint32_t list,
                      const uint8_t (&entry)[kPibListEntrySize]) const;

  PibLayout m_layout;
};

// The QCA7420 layouts have a control word and a control byte.
class CPib7420View : public CPibView {
public:
  using CPibView::CPibView;
  int PibClearControlBit0(const PibHandle& handle) const;
  int PibClearControlBit1(const PibHandle& handle) const;
  int PibSetControlByte(const PibHandle& handle, uint8_t value) const;

private:
  int ClearControlBits(const PibHandle& handle, uint32_t mask) const;
};

// The QCA7500 layout has only a control byte.
class CPib7500View : public CPibView {
public:
  using CPibView::CPibView;
  int PibClearControlByte(const PibHandle& handle) const;
};

extern const CPib7420View Pib74201D3View;
extern const CPib7420View Pib74201D4View;
extern const CPib7500View Pib7500View;

// What a PibOpen result means, for a person: which check the image failed.
const char* PibOpenCodeText(int code);

// The view for a layout name (PibLayout::name); null for any
// other name. For tools that handle images on disk.
const CPibView* PibViewNamed(const char* name);
