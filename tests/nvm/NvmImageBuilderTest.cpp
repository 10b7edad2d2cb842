#include <gtest/gtest.h>

#include <vector>

#include "bytes/LittleEndian.h"
#include "nvm/NvmImageBuilder.h"
#include "nvm/PibView.h"

namespace {

struct Served {
  const char* name;
  const CPibView& view;
  size_t size;
  uint8_t controlByteOn;
};

TEST(NvmBuildImage, ServesEveryLayoutOnAndOff) {
  const Served layouts[] = {{"7420-1.3", Pib74201D3View, 16384, 2},
                            {"7420-1.4", Pib74201D4View, 16384, 2},
                            {"7500", Pib7500View, 32768, 0}};
  for (const Served& s : layouts) {
    for (bool on : {false, true}) {
      std::vector<uint8_t> image;
      ASSERT_TRUE(NvmBuildImage(s.name, on, image));
      ASSERT_EQ(image.size(), s.size);
      PibHandle handle;
      ASSERT_EQ(s.view.PibOpen(handle, image.data(), static_cast<uint32_t>(image.size())), kPibOk)
          << s.name;
      const PibLayout& layout = s.view.Layout();
      EXPECT_EQ(handle.writeLength, NvmImageBuilder::kDefaultPibHeader + 96 + layout.pibLength);
      uint16_t mode = 1;
      ASSERT_EQ(s.view.PibGetPowerSaveMode(handle, mode), kPibOk);
      EXPECT_EQ(mode, on ? 0x0800 : 0);
      EXPECT_EQ(ReadLe32(handle.pib + layout.powerSaveBlock), on ? 150u : 0u);
      EXPECT_EQ(ReadLe32(handle.pib + layout.powerSaveBlock + 4), on ? 11u : 0u);
      EXPECT_EQ(ReadLe16(handle.pib + layout.entryListA + 120), on ? 1 : 0);
      EXPECT_EQ(ReadLe16(handle.pib + layout.entryListB + 120), on ? 1 : 0);
      if (on) {
        EXPECT_EQ(ReadLe32(handle.pib + layout.entryListB), 4u);
        EXPECT_EQ(ReadLe32(handle.pib + layout.entryListB + 36), 1u);
      }
      EXPECT_EQ(handle.pib[layout.controlByte], on ? s.controlByteOn : 0);
    }
  }
}

TEST(NvmBuildImage, UnknownLayoutIsRefused) {
  std::vector<uint8_t> image{1, 2, 3};
  EXPECT_FALSE(NvmBuildImage("7420", true, image));
  EXPECT_FALSE(NvmBuildImage("", false, image));
  EXPECT_EQ(image.size(), 3u);
}

TEST(NvmImageBuilder, SetPowerSaveKeepsTheImageValid) {
  NvmImageBuilder built(kPibLayout7500, true);
  built.SetPowerSave(false);
  PibHandle handle;
  ASSERT_EQ(Pib7500View.PibOpen(handle, built.image.data(), 32768), kPibOk);
  uint16_t mode = 1;
  ASSERT_EQ(Pib7500View.PibGetPowerSaveMode(handle, mode), kPibOk);
  EXPECT_EQ(mode, 0);
}

} // namespace
