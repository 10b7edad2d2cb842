#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bytes/LittleEndian.h"
#include "nvm/NvmChain.h"
#include "nvm/NvmHeader.h"
#include "nvm/NvmImageBuilder.h"
#include "nvm/PibView.h"

namespace {

const uint8_t kBlock[kPibPowerSaveBlockSize] = {150, 0, 0, 0, 11};

const uint8_t kEntry[kPibListEntrySize] = {4};

class PibAccessors : public ::testing::Test {
protected:
  PibAccessors() { EXPECT_EQ(Pib74201D4View.PibOpen(handle, built.image.data(), 16384), kPibOk); }

  uint8_t* pib() { return built.Pib(); }

  NvmImageBuilder built{kPibLayout74201D4, false};
  PibHandle handle;
};

TEST_F(PibAccessors, NewHandleHasNoPib) {
  const PibHandle fresh;
  uint16_t mode = 7;
  EXPECT_EQ(Pib74201D3View.PibGetPowerSaveMode(fresh, mode), kPibErrNoPib);
  EXPECT_EQ(Pib74201D3View.PibSetPowerSaveMode(fresh, 0), kPibErrNoPib);
  EXPECT_EQ(Pib74201D4View.PibSetPowerSaveBlock(fresh, kBlock), kPibErrNoPib);
  EXPECT_EQ(Pib74201D4View.PibClearEntryListB(fresh), kPibErrNoPib);
  EXPECT_EQ(Pib74201D4View.PibAppendEntryListA(fresh, kEntry), kPibErrNoPib);
  EXPECT_EQ(Pib74201D4View.PibClearControlBit0(fresh), kPibErrNoPib);
  EXPECT_EQ(Pib74201D3View.PibSetControlByte(fresh, 2), kPibErrNoPib);
  EXPECT_EQ(Pib7500View.PibClearControlByte(fresh), kPibErrNoPib);
  EXPECT_EQ(mode, 7);
  EXPECT_EQ((std::vector<unsigned>{fresh.valid, fresh.pibLength, fresh.writeLength,
                                   fresh.pibChecksum, fresh.versionMajor, fresh.versionMinor}),
            std::vector<unsigned>(6, 0));
}

TEST_F(PibAccessors, PrologueChecksVersionThenLengthThenValid) {
  PibHandle odd = handle;
  odd.versionMinor = 3;
  odd.pibLength = 1;
  EXPECT_EQ(Pib74201D4View.PibSetPowerSaveMode(odd, 0x0800), kPibErrHandleVersion);
  odd.versionMinor = 4;
  EXPECT_EQ(Pib74201D4View.PibSetPowerSaveMode(odd, 0x0800), kPibErrLength);
  odd.pibLength = 8628;
  odd.valid = 0;
  EXPECT_EQ(Pib74201D4View.PibSetPowerSaveMode(odd, 0x0800), kPibErrNotValid);
  EXPECT_EQ(ReadLe16(pib() + 7552), 0);
}

TEST_F(PibAccessors, OnlyTheFiveModesAreWritten) {
  for (uint16_t refused : {0x0400, 0x0001, 0x0801, 0xFFFF}) {
    EXPECT_EQ(Pib74201D4View.PibSetPowerSaveMode(handle, refused), kPibErrRefused) << refused;
    EXPECT_EQ(ReadLe16(pib() + 7552), 0);
  }
  for (uint16_t allowed : {0x0200, 0x0800, 0x2000, 0x8000, 0x0000}) {
    ASSERT_EQ(Pib74201D4View.PibSetPowerSaveMode(handle, allowed), kPibOk);
    uint16_t mode = 1;
    ASSERT_EQ(Pib74201D4View.PibGetPowerSaveMode(handle, mode), kPibOk);
    EXPECT_EQ(mode, allowed);
    EXPECT_EQ(pib()[7552], allowed & 0xFF);
    EXPECT_EQ(pib()[7553], allowed >> 8);
  }
}

TEST_F(PibAccessors, BlockCoversExactlyFortyEightBytes) {
  const uint8_t before = pib()[7553];
  const uint8_t after = pib()[7602];
  ASSERT_EQ(Pib74201D4View.PibSetPowerSaveBlock(handle, kBlock), kPibOk);
  EXPECT_EQ(std::memcmp(pib() + 7554, kBlock, sizeof kBlock), 0);
  EXPECT_EQ(pib()[7553], before);
  EXPECT_EQ(pib()[7602], after);
}

struct ListCase {
  int (CPibView::*clear)(const PibHandle&) const;
  int (CPibView::*append)(const PibHandle&, const uint8_t (&)[kPibListEntrySize]) const;
  uint32_t offset;
};

TEST_F(PibAccessors, ListsHoldThreeAndClearingRestartsAtTheFirstSlot) {
  const ListCase lists[] = {{&CPibView::PibClearEntryListA, &CPibView::PibAppendEntryListA, 7602},
                            {&CPibView::PibClearEntryListB, &CPibView::PibAppendEntryListB, 7724}};
  const CPibView& view = Pib74201D4View;
  for (const ListCase& list : lists) {
    uint8_t entries[4][kPibListEntrySize];
    for (int i = 0; i < 4; ++i) {
      std::memset(entries[i], 0x10 + i, kPibListEntrySize);
    }
    const uint8_t next = pib()[list.offset + 122];
    ASSERT_EQ((view.*list.clear)(handle), kPibOk);
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ((view.*list.append)(handle, entries[i]), kPibOk);
    }
    EXPECT_EQ(ReadLe16(pib() + list.offset + 120), 3);
    EXPECT_EQ((view.*list.append)(handle, entries[3]), kPibErrRefused);
    EXPECT_EQ(std::memcmp(pib() + list.offset + 80, entries[2], kPibListEntrySize), 0);
    EXPECT_EQ(pib()[list.offset + 122], next);

    ASSERT_EQ((view.*list.clear)(handle), kPibOk);
    EXPECT_EQ(ReadLe16(pib() + list.offset + 120), 0);
    ASSERT_EQ((view.*list.append)(handle, entries[3]), kPibOk);
    EXPECT_EQ(std::memcmp(pib() + list.offset, entries[3], kPibListEntrySize), 0);
    EXPECT_EQ(std::memcmp(pib() + list.offset + 40, entries[1], kPibListEntrySize), 0);
    EXPECT_EQ(std::memcmp(pib() + list.offset + 80, entries[2], kPibListEntrySize), 0);

    WriteLe16(pib() + list.offset + 120, 0x0105); // a count read from the image
    EXPECT_EQ((view.*list.append)(handle, entries[0]), kPibErrRefused);
    EXPECT_EQ(ReadLe16(pib() + list.offset + 120), 0x0105);
  }
}

TEST_F(PibAccessors, ControlBitsAreClearedInPlace) {
  WriteLe32(pib() + 7854, 0x80000003);
  const uint8_t below = pib()[7853];
  const uint8_t above = pib()[7858];
  ASSERT_EQ(Pib74201D4View.PibClearControlBit1(handle), kPibOk);
  EXPECT_EQ(ReadLe32(pib() + 7854), 0x80000001u);
  ASSERT_EQ(Pib74201D4View.PibClearControlBit0(handle), kPibOk);
  EXPECT_EQ(ReadLe32(pib() + 7854), 0x80000000u);
  ASSERT_EQ(Pib74201D4View.PibClearControlBit0(handle), kPibOk);
  EXPECT_EQ(ReadLe32(pib() + 7854), 0x80000000u) << "a clear bit stays clear";
  EXPECT_EQ(pib()[7853], below);
  EXPECT_EQ(pib()[7858], above);
  ASSERT_EQ(Pib74201D4View.PibSetControlByte(handle, 0xA5), kPibOk);
  EXPECT_EQ(pib()[7859], 0xA5);
}

TEST_F(PibAccessors, EditsSurviveAChecksumUpdateAndReopen) {
  const uint32_t openedSum = handle.pibChecksum;
  ASSERT_EQ(Pib74201D4View.PibSetPowerSaveMode(handle, 0x2000), kPibOk);
  EXPECT_EQ(Pib74201D4View.PibOpen(handle, built.image.data(), 16384), kPibErrChain);
  ASSERT_TRUE(NvmUpdateChecksums(built.image.data(), 16384));
  PibHandle reopened;
  ASSERT_EQ(Pib74201D4View.PibOpen(reopened, built.image.data(), 16384), kPibOk);
  EXPECT_NE(reopened.pibChecksum, openedSum);
  uint16_t mode = 0;
  EXPECT_EQ(Pib74201D4View.PibGetPowerSaveMode(reopened, mode), kPibOk);
  EXPECT_EQ(mode, 0x2000);
}

// The offsets of the layout table, written out here rather than taken from
// the views, and every byte an enable writes must fall inside them.
struct LayoutOffsets {
  const CPibView& view;
  const PibLayout& layout;
  uint32_t mode, block, listA, countA, listB, countB, controlWord, controlByte;
};

void Enable(const LayoutOffsets& c, const PibHandle& handle) {
  const CPibView& view = c.view;
  ASSERT_EQ(view.PibSetPowerSaveMode(handle, 0x0800), kPibOk);
  ASSERT_EQ(view.PibClearEntryListA(handle), kPibOk);
  ASSERT_EQ(view.PibAppendEntryListA(handle, kEntry), kPibOk);
  ASSERT_EQ(view.PibClearEntryListB(handle), kPibOk);
  ASSERT_EQ(view.PibAppendEntryListB(handle, kEntry), kPibOk);
  ASSERT_EQ(view.PibSetPowerSaveBlock(handle, kBlock), kPibOk);
  if (c.controlWord != 0) {
    const auto& view7420 = static_cast<const CPib7420View&>(view);
    ASSERT_EQ(view7420.PibSetControlByte(handle, 0x5C), kPibOk);
    ASSERT_EQ(view7420.PibClearControlBit1(handle), kPibOk);
    ASSERT_EQ(view7420.PibClearControlBit0(handle), kPibOk);
  } else {
    ASSERT_EQ(static_cast<const CPib7500View&>(c.view).PibClearControlByte(handle), kPibOk);
  }
}

TEST(PibLayouts, EveryViewWritesOnlyItsOwnFields) {
  const LayoutOffsets cases[] = {
      {Pib74201D3View, kPibLayout74201D3, 7552, 7554, 7602, 7722, 7724, 7844, 7854, 7859},
      {Pib74201D4View, kPibLayout74201D4, 7552, 7554, 7602, 7722, 7724, 7844, 7854, 7859},
      {Pib7500View, kPibLayout7500, 9236, 9238, 9286, 9406, 9408, 9528, 0, 9543}};
  for (const LayoutOffsets& c : cases) {
    NvmImageBuilder built(c.layout, false);
    uint8_t* pib = built.Pib();
    pib[c.controlByte] = 0x77;
    built.Seal();
    const std::vector<uint8_t> before(pib, pib + c.layout.pibLength);
    PibHandle handle;
    ASSERT_EQ(c.view.PibOpen(handle, built.image.data(), c.layout.imageCapacity), kPibOk);
    Enable(c, handle);

    EXPECT_EQ(ReadLe16(pib + c.mode), 0x0800);
    EXPECT_EQ(ReadLe32(pib + c.block), 150u);
    EXPECT_EQ(pib[c.listA], 4);
    EXPECT_EQ(ReadLe16(pib + c.countA), 1);
    EXPECT_EQ(pib[c.listB], 4);
    EXPECT_EQ(ReadLe16(pib + c.countB), 1);
    if (c.controlWord != 0) {
      EXPECT_EQ(ReadLe32(pib + c.controlWord) & 3u, 0u);
      EXPECT_EQ(pib[c.controlByte], 0x5C);
    } else {
      EXPECT_EQ(pib[c.controlByte], 0);
    }
    auto inside = [&](uint32_t at) {
      return (at >= c.mode && at < c.listB + 122) ||
             (c.controlWord != 0 && at >= c.controlWord && at < c.controlWord + 4) ||
             at == c.controlByte;
    };
    for (uint32_t at = 0; at < c.layout.pibLength; ++at) {
      if (pib[at] != before[at]) {
        EXPECT_TRUE(inside(at)) << "layout " << c.layout.pibLength << " wrote PIB byte " << at;
      }
    }
  }
}

} // namespace
