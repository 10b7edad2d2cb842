#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "nvm/NvmImageBuilder.h"
#include "nvm/PibView.h"

namespace {

struct RuleCase {
  const char* name;
  std::vector<std::pair<uint32_t, uint8_t>> bytes; // PIB offset, value
  bool accepted;
  const char* fault; // what a rejection says
};

std::vector<std::pair<uint32_t, uint8_t>> Fill(uint32_t from, uint32_t count, uint8_t value) {
  std::vector<std::pair<uint32_t, uint8_t>> bytes;
  for (uint32_t i = 0; i < count; ++i) {
    bytes.push_back({from + i, value});
  }
  return bytes;
}

template <typename... Parts> std::vector<std::pair<uint32_t, uint8_t>> Join(Parts... parts) {
  std::vector<std::pair<uint32_t, uint8_t>> all;
  for (const auto& part : {parts...}) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

// Table count n with every entry at the limits of rule 12.
std::vector<std::pair<uint32_t, uint8_t>> Table(uint8_t count) {
  std::vector<std::pair<uint32_t, uint8_t>> bytes{{640, count}};
  for (uint32_t i = 0; i < count; ++i) {
    bytes.push_back({641 + 5 * i, 0xFF});
    bytes.push_back({644 + 5 * i, 32});
    bytes.push_back({645 + 5 * i, 1});
  }
  return bytes;
}

class PibContentRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(PibContentRules, AcceptOrReject) {
  NvmImageBuilder built(kPibLayout74201D3, false);
  uint8_t* pib = built.Pib();
  ASSERT_TRUE(CPibView::PibValidateContent(pib));
  pib[1] = 0xA5; // no rule reads it, so a rule without a condition binds whatever it holds
  for (const auto& [offset, value] : GetParam().bytes) {
    pib[offset] = value;
  }
  Fault fault;
  EXPECT_EQ(CPibView::PibValidateContent(pib, &fault), GetParam().accepted);
  EXPECT_STREQ(fault.text, GetParam().fault);
}

// clang-format off
const RuleCase kRuleCases[] = {
    {"rule1_bit0_set", {{12, 0x01}}, false, "PIB byte 12 (rule 1): bits 0x01 clear expected, 0x01 found"},
    {"rule1_other_bits", {{12, 0xFE}}, true, ""},
    {"rule2_4", {{244, 4}}, true, ""},
    {"rule2_5", {{244, 5}}, false, "PIB byte 244 (rule 2): at most 4 expected, 5 found"},
    {"rule3_2", {{245, 2}}, true, ""},
    {"rule3_3", {{245, 3}}, false, "PIB byte 245 (rule 3): at most 2 expected, 3 found"},
    {"rule4_2", {{246, 2}}, true, ""},
    {"rule4_3", {{246, 3}}, false, "PIB byte 246 (rule 4): at most 2 expected, 3 found"},
    {"rule5_1F", {{254, 0x1F}}, true, ""},
    {"rule5_20", {{254, 0x20}}, false, "PIB byte 254 (rule 5): at most 31 expected, 32 found"},
    {"rule5_40", {{254, 0x40}}, false, "PIB byte 254 (rule 5): at most 31 expected, 64 found"},
    {"rule5_80", {{254, 0x80}}, false, "PIB byte 254 (rule 5): at most 31 expected, 128 found"},
    {"rule6_1_1", {{256, 1}, {257, 1}}, true, ""},
    {"rule6_1_2", {{256, 1}, {257, 2}}, false, "PIB byte 257 (rule 6): at most 1 expected, 2 found"},
    {"rule6_2_200", {{256, 2}, {257, 200}}, true, ""},
    {"rule7_255", {{265, 255}}, false, "PIB byte 265 (rule 7): at most 254 expected, 255 found"},
    {"rule7_254", {{265, 254}}, true, ""},
    {"rule8_3", {{266, 3}}, true, ""},
    {"rule8_4", {{266, 4}}, false, "PIB byte 266 (rule 8): at most 3 expected, 4 found"},
    {"rule9_no_zero", Fill(292, 16, 0x01), false,
     "PIB bytes 292 to 307 (rule 9): at least 1 zero byte expected, 0 found"},
    {"rule9_last_zero", Join(Fill(292, 16, 0x01), Fill(307, 1, 0)), true, ""},
    {"rule10_266_1_anything", Join(Fill(266, 1, 1), Fill(267, 17, 0xC3)), true, ""},
    {"rule10_266_0_key_set", Join(Fill(266, 18, 0), Fill(283, 1, 0x01)), false,
     "PIB bytes 268 to 283 (rule 10): 16 zero bytes expected, 15 found"},
    {"rule10_266_0_no_key", Fill(266, 18, 0), true, ""},
    {"rule10_266_0_267_1", Join(Fill(266, 1, 0), Fill(267, 1, 1), Fill(268, 16, 0)), false,
     "PIB byte 267 (rule 10): other than 1 expected, 1 found"},
    {"rule10_266_0_267_2", Join(Fill(266, 1, 0), Fill(267, 1, 2), Fill(268, 16, 0)), true, ""},
    {"rule11_32", Table(32), true, ""},
    {"rule11_33", Table(33), false, "PIB byte 640 (rule 11): at most 32 expected, 33 found"},
    {"rule11_0_junk_after", Join(Table(0), Fill(641, 160, 0xFF)), true, ""},
    {"rule12_last_byte3_33", Join(Table(32), Fill(644 + 5 * 31, 1, 33)), false,
     "PIB byte 799 (rule 12): at most 32 expected, 33 found"},
    {"rule12_byte4_2", Join(Table(3), Fill(645 + 5 * 2, 1, 2)), false,
     "PIB byte 655 (rule 12): at most 1 expected, 2 found"},
    {"rule12_entry_past_count", Join(Table(3), Fill(641 + 5 * 3, 5, 0xFF)), true, ""},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rules, PibContentRules, ::testing::ValuesIn(kRuleCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PibContent, DeviceBlockStartsAtPibOffset12) {
  NvmImageBuilder built(kPibLayout7500, false);
  uint8_t* pib = built.Pib();
  pib[640] = 40; // breaks rule 11, outside the device block
  EXPECT_TRUE(CPibView::PibValidateDeviceBlock(pib + 12));
  EXPECT_FALSE(CPibView::PibValidateContent(pib));
  pib[265] = 255;
  Fault fault;
  EXPECT_FALSE(CPibView::PibValidateDeviceBlock(pib + 12, &fault));
  // Named by its PIB offset, whichever start the check was given.
  EXPECT_STREQ(fault.text, "PIB byte 265 (rule 7): at most 254 expected, 255 found");
}

TEST(PibContent, IsAllZero16LooksAtExactlySixteenBytes) {
  uint8_t bytes[18] = {};
  bytes[16] = 1;
  EXPECT_TRUE(CPibView::IsAllZero16(bytes));
  bytes[15] = 1;
  EXPECT_FALSE(CPibView::IsAllZero16(bytes));
  EXPECT_FALSE(CPibView::IsAllZero16(bytes + 2));
}

} // namespace
