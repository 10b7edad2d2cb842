#include "powersave/PowerSaveSelection.h"

#include "powersave/CPowerSave74201D3Op.h"
#include "powersave/CPowerSave74201D4Op.h"
#include "powersave/CPowerSave7500Op.h"
#include "powersave/CPowerSaveBCMCMMOp.h"

#include "FakeDeviceLibrary.h"

#include <gtest/gtest.h>

namespace {

template <typename Op> bool Holds(const PowerSaveSlot& slot) {
  return dynamic_cast<Op*>(slot.get()) != nullptr;
}

int g_liveCounted = 0;
struct Counted : CPowerSaveBCMCMMOp {
  explicit Counted(DeviceCalls& device) : CPowerSaveBCMCMMOp(device) { ++g_liveCounted; }
  ~Counted() override { --g_liveCounted; }
};

struct Selection : ::testing::Test {
  // Runs a Qualcomm Atheros detection with `text` as the firmware.
  std::optional<AdapterFamily> Detect(const std::string& text) {
    fake.plcType = 1;
    fake.firmware = text;
    return SelectPowerSaveOp(fake.Device(), slot);
  }
  FakeDeviceLibrary fake;
  PowerSaveSlot slot;
};

TEST_F(Selection, FirmwareTextPicksTheStrategyInOrder) {
  EXPECT_EQ(Detect("MAC-7500-1.1.0"), AdapterFamily::QualcommAtheros);
  EXPECT_TRUE(Holds<CPowerSave7500Op>(slot));
  Detect("7420-1.0.0 and 7500");
  EXPECT_TRUE(Holds<CPowerSave7500Op>(slot)) << "7500 is tested first";
  Detect("7420-1.1.3");
  EXPECT_TRUE(Holds<CPowerSave74201D4Op>(slot));
  Detect("7420-1.1.0/1.0.9");
  EXPECT_TRUE(Holds<CPowerSave74201D3Op>(slot)) << "1.0. is tested before 1.1.";
  Detect("v11.0.2 QCA7420");
  EXPECT_TRUE(Holds<CPowerSave74201D3Op>(slot)) << "1.0. occurs inside 11.0.2";
  Detect("7420-v21.1.5");
  EXPECT_TRUE(Holds<CPowerSave74201D4Op>(slot)) << "1.1. occurs inside 21.1.5";
}

TEST_F(Selection, A7420TextWithNeitherVersionEmptiesTheSlot) {
  Detect("7420-1.1.0");
  ASSERT_TRUE(slot);
  PowerSaveDetection detected;
  fake.firmware = "7420-2.0.0";
  SelectPowerSaveOp(fake.Device(), slot, &detected);
  EXPECT_TRUE(detected.recordRead);
  EXPECT_EQ(detected.record.Firmware(), "7420-2.0.0");
  Detect("7420-1.1.0");
  EXPECT_EQ(Detect("7420-2.0.0"), AdapterFamily::QualcommAtheros);
  EXPECT_FALSE(slot);
}

TEST_F(Selection, UnknownChipOrFailedDeviceInfoKeepsTheHeldObject) {
  fake.plcType = 2;
  SelectPowerSaveOp(fake.Device(), slot);
  CPowerSaveOp* broadcom = slot.get();
  ASSERT_TRUE(Holds<CPowerSaveBCMCMMOp>(slot));
  Detect("7400-1.1.0");
  EXPECT_EQ(slot.get(), broadcom);
  fake.devInfoResult = 0;
  Detect("7500");
  EXPECT_EQ(slot.get(), broadcom);
  // A caller can tell an unread record from a text that names no strategy.
  PowerSaveDetection detected;
  EXPECT_EQ(SelectPowerSaveOp(fake.Device(), slot, &detected), AdapterFamily::QualcommAtheros);
  EXPECT_FALSE(detected.recordRead);
  fake.Unbind("GetLocalDevInfo");
  Detect("7500");
  EXPECT_EQ(slot.get(), broadcom);
}

TEST_F(Selection, OtherFamiliesLeaveTheSlotUntouched) {
  Detect("7420-1.0.0");
  CPowerSaveOp* held = slot.get();
  for (int family : {0, 3, 255, 0x100 /* low byte 0 */}) {
    fake.plcType = family;
    EXPECT_EQ(SelectPowerSaveOp(fake.Device(), slot), std::nullopt) << family;
    EXPECT_EQ(slot.get(), held);
  }
  fake.Unbind("GetPLCType");
  EXPECT_EQ(SelectPowerSaveOp(fake.Device(), slot), std::nullopt);
  EXPECT_EQ(slot.get(), held);
  EXPECT_EQ(fake.CallsText(), "GetPLCType, GetLocalDevInfo, GetPLCType, GetPLCType, GetPLCType, "
                              "GetPLCType");
}

TEST_F(Selection, EveryDetectionBuildsANewObject) {
  // Counting live objects tells a replacement from a reuse without comparing
  // addresses, which the allocator may hand out again.
  slot.reset(new Counted(fake.Device()));
  ASSERT_EQ(g_liveCounted, 1);
  fake.plcType = 0x0102; // the family is the low byte
  EXPECT_EQ(SelectPowerSaveOp(fake.Device(), slot), AdapterFamily::Broadcom);
  EXPECT_EQ(g_liveCounted, 0) << "the held object is destroyed";
  EXPECT_TRUE(Holds<CPowerSaveBCMCMMOp>(slot));
}

TEST_F(Selection, FirmwareTextIsAtMost162Characters) {
  // 162 characters and the NUL fill bytes 105 to 267; "7500" sits at the end.
  EXPECT_EQ(Detect(std::string(158, 'x') + "7500"), AdapterFamily::QualcommAtheros);
  EXPECT_TRUE(Holds<CPowerSave7500Op>(slot));
  slot.reset();
  // A record with no NUL: its last byte is not part of the text.
  Detect(std::string(159, 'x') + "7500"); // read as "...750"
  EXPECT_FALSE(slot);
}

TEST(PowerSaveVariants, ALayoutNamesItsQcaVariant) {
  const struct {
    const char* layout;
    const PowerSaveVariant* variant;
  } cases[] = {{"7420-1.3", &kPowerSave74201D3},
               {"7420-1.4", &kPowerSave74201D4},
               {"7500", &kPowerSave7500},
               {"", nullptr},
               {"broadcom", nullptr},
               {"7420", nullptr},
               {nullptr, nullptr}};
  for (const auto& c : cases)
    EXPECT_EQ(PowerSaveVariantForLayout(c.layout), c.variant) << (c.layout ? c.layout : "null");
}

} // namespace
