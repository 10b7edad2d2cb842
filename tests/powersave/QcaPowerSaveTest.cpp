#include "powersave/CPowerSave74201D3Op.h"
#include "powersave/CPowerSave74201D4Op.h"
#include "powersave/CPowerSave7500Op.h"

#include "FakeDeviceLibrary.h"
#include "PowerSaveFields.h"
#include "RecordingWatch.h"
#include "bytes/LittleEndian.h"
#include "nvm/NvmHeader.h"
#include "nvm/NvmImageBuilder.h"
#include "nvm/PibView.h"
#include "powersave/PowerSaveCopy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

struct Variant {
  const char* name;
  const PibLayout& layout;
  const CPibView& view;
  std::unique_ptr<CPowerSaveOp> (*make)(DeviceCalls& device);
  bool resets; // a reset follows the write
};

std::string Hex(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(value));
  return text;
}

template <typename Op> std::unique_ptr<CPowerSaveOp> Make(DeviceCalls& device) {
  return std::make_unique<Op>(device);
}

const Variant kVariants[] = {
    {"74201D3", kPibLayout74201D3, Pib74201D3View, Make<CPowerSave74201D3Op>, true},
    {"74201D4", kPibLayout74201D4, Pib74201D4View, Make<CPowerSave74201D4Op>, true},
    {"7500", kPibLayout7500, Pib7500View, Make<CPowerSave7500Op>, false},
};

class QcaPowerSave : public ::testing::TestWithParam<Variant> {
protected:
  QcaPowerSave() : builder(GetParam().layout, false), op(GetParam().make(fake.Device())) {
    fake.image = builder.image;
  }

  std::string ExpectedCalls() const {
    std::string calls =
        "GetLocalPIB, WriteLocalPIB " + std::to_string(builder.WriteLength()) + " 1";
    return GetParam().resets ? calls + ", ResetLocalDev 0" : calls;
  }

  // The image with the written range laid over it: flash keeps what lies past the write.
  std::vector<uint8_t> WrittenImage() const {
    std::vector<uint8_t> image = builder.image;
    std::copy(fake.written.begin(), fake.written.end(), image.begin());
    return image;
  }

  // The state the written image reads as through the variant's view.
  uint16_t WrittenState() {
    std::vector<uint8_t> image = WrittenImage();
    PibHandle handle;
    uint16_t mode = 0;
    if (GetParam().view.PibOpen(handle, image.data(), static_cast<uint32_t>(image.size())) != 0 ||
        GetParam().view.PibGetPowerSaveMode(handle, mode) != 0)
      return 2;
    return mode;
  }

  uint8_t* WrittenPib() { return fake.written.data() + builder.PibOffset(); }

  NvmImageBuilder builder;
  FakeDeviceLibrary fake;
  std::unique_ptr<CPowerSaveOp> op;
};

TEST_P(QcaPowerSave, ReadsTheModeWordOfAFreshImageEveryTime) {
  EXPECT_EQ(op->GetPowerSave(), 0);
  builder.SetPowerSave(true);
  fake.image = builder.image;
  EXPECT_EQ(op->GetPowerSave(), 1);
  // Any non-zero mode word counts as on.
  WriteLe16(builder.Pib() + GetParam().layout.powerSaveMode, 0x0200);
  builder.Seal();
  fake.image = builder.image;
  EXPECT_EQ(op->GetPowerSave(), 1);
  EXPECT_EQ(fake.CallsText(), "GetLocalPIB, GetLocalPIB, GetLocalPIB");
}

TEST_P(QcaPowerSave, EnableWritesTheEditedImageBackWithItsWriteLength) {
  const PibLayout& l = GetParam().layout;
  builder.Pib()[l.controlByte] = 0x77; // the edit sets it on every layout
  // List A starts full and list B empty: either way each ends with one entry.
  WriteLe16(builder.Pib() + l.entryListA + kPibListCountOffset, 3);
  builder.Seal();
  fake.image = builder.image;
  ASSERT_TRUE(op->SetPowerSave(1));
  EXPECT_EQ(fake.CallsText(), ExpectedCalls());
  ASSERT_EQ(fake.written.size(), builder.WriteLength());
  EXPECT_EQ(WrittenState(), 0x0800);

  EXPECT_EQ(ReadLe32(WrittenPib() + l.powerSaveBlock), 150u);
  EXPECT_EQ(ReadLe32(WrittenPib() + l.powerSaveBlock + 4), 11u);
  for (uint32_t list : {l.entryListA, l.entryListB}) {
    EXPECT_EQ(ReadLe16(WrittenPib() + list + kPibListCountOffset), 1);
    EXPECT_EQ(ReadLe32(WrittenPib() + list), 4u);
    EXPECT_EQ(ReadLe32(WrittenPib() + list + 4), 0u);
    EXPECT_EQ(ReadLe32(WrittenPib() + list + 36), 1u);
  }
  if (l.controlWord != 0) {
    EXPECT_EQ(WrittenPib()[l.controlByte], 2);
    EXPECT_EQ(ReadLe32(WrittenPib() + l.controlWord) & 3u, 0u);
  } else {
    EXPECT_EQ(WrittenPib()[l.controlByte], 0);
  }
  EXPECT_EQ(ChangedOutsidePowerSaveFields(builder, builder.image, WrittenImage()), "");
}

TEST_P(QcaPowerSave, DisableWritesModeZero) {
  builder.SetPowerSave(true);
  fake.image = builder.image;
  ASSERT_TRUE(op->SetPowerSave(0));
  EXPECT_EQ(fake.CallsText(), ExpectedCalls());
  EXPECT_EQ(WrittenState(), 0);
}

TEST_P(QcaPowerSave, NoWriteWithoutAFetchedImage) {
  fake.getPibResult = 0;
  EXPECT_EQ(op->GetPowerSave(), 2);
  EXPECT_FALSE(op->SetPowerSave(1));
  fake.getPibResult = 1;
  fake.Unbind("GetLocalPIB");
  EXPECT_EQ(op->GetPowerSave(), 2);
  EXPECT_FALSE(op->SetPowerSave(0));
  EXPECT_TRUE(fake.written.empty());
  EXPECT_EQ(fake.CallsText().find("WriteLocalPIB"), std::string::npos);
}

TEST_P(QcaPowerSave, RejectedImagesAreNeverWritten) {
  // Another layout's image, a broken checksum, and a PIB that breaks a content
  // rule. A strategy kept from an earlier detection may meet a 7500 and be
  // handed its whole 32768-byte image.
  for (const PibLayout* other : {&kPibLayout74201D3, &kPibLayout74201D4, &kPibLayout7500}) {
    if (other == &GetParam().layout)
      continue;
    NvmImageBuilder foreign(*other, false);
    fake.image = foreign.image;
    EXPECT_EQ(op->GetPowerSave(), 2) << other->pibLength;
    EXPECT_FALSE(op->SetPowerSave(1)) << other->pibLength;
  }
  fake.image = builder.image;
  fake.image[builder.PibOffset() + 100] ^= 1;
  EXPECT_EQ(op->GetPowerSave(), 2);
  EXPECT_FALSE(op->SetPowerSave(1));

  builder.Pib()[244] = 5;
  builder.Seal();
  fake.image = builder.image;
  EXPECT_FALSE(op->SetPowerSave(0));
  EXPECT_TRUE(fake.written.empty());
}

TEST_P(QcaPowerSave, AnEditThatWouldNotVerifyAgainIsNotWritten) {
  // The first image, which starts right after the first header, reaches over
  // the PIB header's image checksum, so renewing that checksum leaves the first
  // image's own checksum stale.
  builder.SetHeaderField(0, kNvmImageLength,
                         builder.PibHeader() - kNvmHeaderSize + kNvmImageChecksum + 4);
  builder.Seal();
  builder.Seal();
  fake.image = builder.image;
  ASSERT_EQ(op->GetPowerSave(), 0) << "the image must start out valid";
  EXPECT_FALSE(op->SetPowerSave(1));
  EXPECT_EQ(fake.CallsText(), "GetLocalPIB, GetLocalPIB");
}

TEST_P(QcaPowerSave, ASavedCopyRestoresItsWrittenRangeOverThePresentImage) {
  PowerSaveCopy copy;
  PowerSaveError error;
  ASSERT_TRUE(op->SaveCopy(copy, error)) << error.text;
  EXPECT_EQ(copy.Layout(), op->Variant().Layout());
  ASSERT_EQ(copy.size, builder.image.size());
  EXPECT_TRUE(std::equal(builder.image.begin(), builder.image.end(), copy.bytes));
  EXPECT_TRUE(std::equal(copy.address, copy.address + kPibAddressSize, builder.Pib() + 12));
  std::snprintf(copy.firmware, sizeof copy.firmware, "FW-1");

  builder.SetPowerSave(true);
  fake.image = builder.image;
  fake.calls.clear();
  uint32_t written = 0;
  ASSERT_TRUE(op->RestoreCopy(copy, "FW-1", false, written, error)) << error.text;
  EXPECT_EQ(fake.CallsText(), ExpectedCalls());
  EXPECT_EQ(written, builder.WriteLength());
  EXPECT_EQ(fake.written, std::vector<uint8_t>(copy.bytes, copy.bytes + written));
}

// A refused copy still hands over what was fetched, so that the image that
// does not open can be told apart; a fetch that failed hands over nothing.
TEST_P(QcaPowerSave, ARefusedCopyHoldsTheImageAsFetched) {
  const auto copy = std::make_unique<PowerSaveCopy>();
  PowerSaveError error;
  fake.image[builder.PibOffset() + 100] ^= 1;
  std::fill(std::begin(copy->address), std::end(copy->address), 0xAA);
  EXPECT_FALSE(op->SaveCopy(*copy, error));
  EXPECT_NE(std::string(error.text).find("the adapter's image does not open as a"),
            std::string::npos)
      << error.text;
  EXPECT_EQ(copy->kind, BackupKind::NvmImage);
  EXPECT_EQ(copy->Layout(), op->Variant().Layout());
  EXPECT_EQ(std::vector<uint8_t>(copy->bytes, copy->bytes + copy->size), fake.image);
  EXPECT_EQ(std::count(std::begin(copy->address), std::end(copy->address), 0), kPibAddressSize);

  fake.getPibResult = 0;
  EXPECT_FALSE(op->SaveCopy(*copy, error));
  EXPECT_STREQ(error.text, "the adapter did not hand over its image");
  EXPECT_EQ(copy->size, 0u);
}

// A watch is shown the image as fetched, before any edit, and told just
// before the write, by a switch and by a restore alike; a write that stops
// before it tells nothing: a refused value calls nothing, a failed write is
// not followed by a reset. The state a copy holds reads as the adapter would.
TEST_P(QcaPowerSave, AWatchSeesTheImageAsFetchedJustBeforeTheWrite) {
  static RecordingWatch watch;
  watch.told = 0;
  op->Watch(&watch);
  EXPECT_FALSE(op->SetPowerSave(2));
  EXPECT_FALSE(op->SetPowerSave(0xFFFF));
  EXPECT_TRUE(fake.calls.empty());
  fake.writePibResult = 0;
  EXPECT_FALSE(op->SetPowerSave(1));
  EXPECT_EQ(fake.CallsText(),
            "GetLocalPIB, WriteLocalPIB " + std::to_string(builder.WriteLength()) + " 1");
  EXPECT_EQ(watch.told, 1);
  fake.writePibResult = 1;
  fake.calls.clear();
  ASSERT_TRUE(op->SetPowerSave(1));
  EXPECT_EQ(watch.told, 2);
  EXPECT_EQ(watch.callsBeforeWrite, "GetLocalPIB");
  EXPECT_EQ(watch.sent, fake.written);
  static PowerSaveCopy off;
  off = watch.before;
  ASSERT_EQ(off.size, builder.image.size());
  EXPECT_TRUE(std::equal(builder.image.begin(), builder.image.end(), off.bytes));
  EXPECT_TRUE(std::equal(off.address, off.address + kPibAddressSize, builder.Pib() + 12));
  EXPECT_EQ(off.Layout(), op->Variant().Layout());
  EXPECT_EQ(op->CopyState(off), 0);

  std::copy(fake.written.begin(), fake.written.end(), fake.image.begin());
  fake.calls.clear();
  uint32_t written = 0;
  PowerSaveError error;
  ASSERT_TRUE(op->RestoreCopy(off, "", false, written, error)) << error.text;
  EXPECT_EQ(watch.told, 3);
  EXPECT_EQ(watch.callsBeforeWrite, "GetLocalPIB");
  EXPECT_EQ(watch.sent, fake.written);
  EXPECT_EQ(op->CopyState(watch.before), 1);
  off.kind = BackupKind::Param41;
  EXPECT_EQ(op->CopyState(off), 2);
}

// Each refusal names what differed with both values, and writes nothing.
TEST_P(QcaPowerSave, RestoreRefusesACopyThatIsNotThisAdaptersOrWouldNotOpen) {
  static PowerSaveCopy good;
  PowerSaveError error;
  ASSERT_TRUE(op->SaveCopy(good, error)) << error.text;
  std::snprintf(good.firmware, sizeof good.firmware, "FW-1");
  const std::vector<uint8_t> present = builder.image;
  using Copy = PowerSaveCopy;
  using Adapter = NvmImageBuilder;
  const struct {
    const char* what;
    void (*change)(Copy& copy, Adapter& adapter);
    bool force;
    std::string says;
  } cases[] = {
      // clang-format off
      {"another layout", [](Copy& c, Adapter&) { std::snprintf(c.layout, sizeof c.layout, "x"); },
       false, "the layout \"x\""},
      {"a parameter", [](Copy& c, Adapter&) { c.kind = BackupKind::Param41; }, false, "param41"},
      {"other firmware", [](Copy& c, Adapter&) { std::snprintf(c.firmware, sizeof c.firmware, "FW-2"); },
       false, "\"FW-2\", this adapter runs \"FW-1\""},
      {"another adapter", [](Copy&, Adapter& a) { a.Pib()[12 + 5] ^= 0x40; a.Seal(); }, true,
       "this adapter is "},
      {"an unreadable present image", [](Copy&, Adapter& a) { a.image[a.PibOffset() + 100] ^= 1; }, false,
       "its address cannot be compared"},
      {"another size", [](Copy& c, Adapter&) { c.size -= 4; }, false,
       "the copy holds " + std::to_string(GetParam().layout.imageCapacity - 4) + " bytes"},
      {"a damaged copy", [](Copy& c, Adapter& a) { c.bytes[a.PibOffset() + 100] ^= 1; }, false,
       std::string("the copy does not open as a ") + GetParam().layout.name +
           " image (PibOpen code 2: header at 0x0200: image checksum 0x"},
      // clang-format on
      // The copy's chain goes on past its written range, the adapter's does not.
      {"a chain past the written range",
       [](PowerSaveCopy&, NvmImageBuilder& a) {
         a.SetHeaderField(a.PibHeader(), kNvmNextHeader, 0xFFFFFFFF);
         a.Seal();
         std::fill(a.image.begin() + a.LastHeader(), a.image.end(), 0xFF);
       },
       true,
       "(PibOpen code 2: header at 0x" + Hex(builder.LastHeader()) +
           ": header checksum 0xffffffff expected, 0x00000000 found): its chain reaches past what "
           "would be written"},
      // The PIB header names a previous header past the written range, whose
      // next field sets the write length: the adapter's bytes there differ.
      {"a write length read past the written range",
       [](PowerSaveCopy& c, NvmImageBuilder& a) {
         const size_t far = a.image.size() - kNvmHeaderSize;
         a.SetHeaderField(a.PibHeader(), kNvmPrevHeader, static_cast<uint32_t>(far));
         WriteLe32(a.image.data() + far + kNvmNextHeader, a.PibHeader());
         a.Seal();
         std::copy(a.image.begin(), a.image.end(), c.bytes);
         WriteLe32(a.image.data() + far + kNvmNextHeader, a.PibHeader() + 4);
       },
       false,
       "(PibOpen code 0: write length " + std::to_string(builder.WriteLength()) + " expected, " +
           std::to_string(builder.WriteLength() + 4) + " found)"},
      // The first header is written, but its image reaches where restore does not write.
      {"a written header whose image lies past the written range",
       [](PowerSaveCopy& c, NvmImageBuilder& a) {
         const uint32_t first = ReadLe32(a.image.data() + kNvmImageOffset);
         a.SetHeaderField(0, kNvmImageLength, a.LastHeader() + kNvmHeaderSize + 4 - first);
         a.Seal();
         a.Seal(); // the first image covers the headers after it
         std::copy(a.image.begin(), a.image.end(), c.bytes);
         a.image[a.LastHeader() + kNvmHeaderSize] ^= 1;
       },
       true,
       "damaged at byte 0x0, past the " + std::to_string(builder.WriteLength()) +
           " bytes restore writes"},
      // Restore writes nothing there, so the copy is not to blame.
      {"a present image damaged past the written range",
       [](PowerSaveCopy&, NvmImageBuilder& a) { a.image[a.LastHeader() + kNvmHeaderSize] ^= 1; },
       true,
       "the adapter's present image is damaged at byte 0x" + Hex(builder.LastHeader()) +
           ", past the " + std::to_string(builder.WriteLength()) +
           " bytes restore writes; restore does not write there (header at 0x" +
           Hex(builder.LastHeader()) + ": image checksum 0x"},
  };
  for (const auto& c : cases) {
    static PowerSaveCopy copy;
    copy = good;
    NvmImageBuilder adapter = builder;
    c.change(copy, adapter);
    fake.image = adapter.image;
    uint32_t written = 0;
    error = PowerSaveError();
    EXPECT_FALSE(op->RestoreCopy(copy, "FW-1", c.force, written, error)) << c.what;
    EXPECT_NE(std::string(error.text).find(c.says), std::string::npos)
        << c.what << ": " << error.text;
  }
  EXPECT_TRUE(fake.written.empty());

  // Forced, a copy goes onto an adapter whose present image does not open;
  // the copy taken first names no adapter, not the one an earlier write saw.
  fake.image = present;
  fake.image[builder.PibOffset() + 100] ^= 1;
  static RecordingWatch watch;
  std::fill(std::begin(watch.before.address), std::end(watch.before.address), 0xAA);
  op->Watch(&watch);
  uint32_t written = 0;
  EXPECT_TRUE(op->RestoreCopy(good, "FW-1", true, written, error)) << error.text;
  EXPECT_EQ(fake.written.size(), builder.WriteLength());
  EXPECT_EQ(std::count(std::begin(watch.before.address), std::end(watch.before.address), 0),
            kPibAddressSize);
}

INSTANTIATE_TEST_SUITE_P(Variants, QcaPowerSave, ::testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QcaPowerSaveReset, D4NeedsTheResetD3DoesNot) {
  NvmImageBuilder v13(kPibLayout74201D3, false), v14(kPibLayout74201D4, false);
  FakeDeviceLibrary fake;
  CPowerSave74201D3Op d3(fake.Device());
  CPowerSave74201D4Op d4(fake.Device());

  fake.resetResult = 0;
  fake.image = v13.image;
  EXPECT_TRUE(d3.SetPowerSave(1));
  EXPECT_FALSE(d3.ResetFailed());
  fake.image = v14.image;
  EXPECT_FALSE(d4.SetPowerSave(1));
  EXPECT_TRUE(d4.ResetFailed());
  EXPECT_FALSE(fake.written.empty()) << "the write itself went through";

  // Restore tells a write the adapter took from one it refused.
  static PowerSaveCopy copy;
  PowerSaveError error;
  ASSERT_TRUE(d4.SaveCopy(copy, error)) << error.text;
  for (const int writeResult : {1, 0}) {
    fake.writePibResult = writeResult;
    uint32_t written = 0;
    EXPECT_FALSE(d4.RestoreCopy(copy, "", false, written, error));
    EXPECT_EQ(d4.ResetFailed(), writeResult != 0);
    EXPECT_STREQ(error.text, writeResult != 0 ? "the adapter took the image but its reset failed"
                                              : "the adapter refused the image");
  }
  fake.writePibResult = 1;

  fake.Unbind("ResetLocalDev");
  fake.calls.clear();
  fake.image = v13.image;
  EXPECT_TRUE(d3.SetPowerSave(0));
  fake.image = v14.image;
  EXPECT_FALSE(d4.SetPowerSave(0));
  EXPECT_EQ(fake.CallsText(), "GetLocalPIB, WriteLocalPIB " + std::to_string(v13.WriteLength()) +
                                  " 1, GetLocalPIB, WriteLocalPIB " +
                                  std::to_string(v14.WriteLength()) + " 1");

  fake.Unbind("WriteLocalPIB");
  EXPECT_FALSE(d3.SetPowerSave(1));
  EXPECT_FALSE(d4.SetPowerSave(1));
  EXPECT_FALSE(d4.ResetFailed()) << "nothing was written";
}

TEST(QcaPowerSave7500, RefusesBeforeFetchingWithoutBothWriteSideEntryPoints) {
  NvmImageBuilder image(kPibLayout7500, false);
  for (const char* missing : {"ResetLocalDev", "WriteLocalPIB"}) {
    FakeDeviceLibrary fake;
    fake.image = image.image;
    fake.Unbind(missing);
    CPowerSave7500Op op(fake.Device());
    EXPECT_FALSE(op.SetPowerSave(1)) << missing;
    EXPECT_TRUE(fake.calls.empty()) << missing;
    EXPECT_EQ(op.GetPowerSave(), 0) << "reading needs neither";
  }
}

TEST(QcaPowerSave7500, DisableChangesOnlyTheModeWord) {
  NvmImageBuilder builder(kPibLayout7500, true);
  FakeDeviceLibrary fake;
  fake.image = builder.image;
  CPowerSave7500Op op(fake.Device());
  ASSERT_TRUE(op.SetPowerSave(0));
  const uint8_t* before = builder.Pib();
  const uint8_t* after = fake.written.data() + builder.PibOffset();
  for (uint32_t at = 0; at < kPibLayout7500.pibLength; ++at) {
    if (at == kPibLayout7500.powerSaveMode || at == kPibLayout7500.powerSaveMode + 1)
      EXPECT_EQ(after[at], 0) << at;
    else
      ASSERT_EQ(after[at], before[at]) << "PIB byte " << at;
  }
}

TEST(QcaPowerSave7420, DisableKeepsTheControlBits) {
  NvmImageBuilder builder(kPibLayout74201D4, true);
  const uint32_t word = kPibLayout74201D4.controlWord;
  const uint32_t block = kPibLayout74201D4.powerSaveBlock;
  WriteLe32(builder.Pib() + word, 0xA5A5A5A7);
  std::fill_n(builder.Pib() + block, kPibPowerSaveBlockSize, 0xA5);
  builder.Seal();
  FakeDeviceLibrary fake;
  fake.image = builder.image;
  CPowerSave74201D4Op op(fake.Device());
  ASSERT_TRUE(op.SetPowerSave(0));
  const uint8_t* pib = fake.written.data() + builder.PibOffset();
  EXPECT_EQ(ReadLe32(pib + word), 0xA5A5A5A7u);
  EXPECT_EQ(pib[kPibLayout74201D4.controlByte], 0);
  EXPECT_EQ(ReadLe16(pib + kPibLayout74201D4.entryListA + kPibListCountOffset), 0);
  EXPECT_EQ(ReadLe16(pib + kPibLayout74201D4.entryListB + kPibListCountOffset), 0);
  EXPECT_EQ(std::vector<uint8_t>(pib + block, pib + block + kPibPowerSaveBlockSize),
            std::vector<uint8_t>(kPibPowerSaveBlockSize, 0));
}

} // namespace
