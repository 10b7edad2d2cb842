// The content rules a PIB must obey before any view accepts it, read from
// their one table (kPibContentRules) in PIB offsets.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "bytes/ByteReader.h"
#include "nvm/PibView.h"

namespace {

// Checks a rule of one byte on its `value`, found at PIB offset `offset`.
bool ByteObeys(const PibContentRule& rule, uint32_t offset, uint8_t value, Fault* fault) {
  const unsigned at = offset, limit = rule.limit, found = value;
  switch (rule.kind) {
  case PibRuleKind::BitsClear:
    if ((value & rule.limit) == 0)
      return true;
    SayFault(fault, "PIB byte %u (%s): bits 0x%02x clear expected, 0x%02x found", at, rule.rule,
             limit, found);
    return false;
  case PibRuleKind::Not:
    if (value != rule.limit)
      return true;
    SayFault(fault, "PIB byte %u (%s): other than %u expected, %u found", at, rule.rule, limit,
             found);
    return false;
  default: // AtMost, and AtMostInEachEntry entry by entry
    if (value <= rule.limit)
      return true;
    SayFault(fault, "PIB byte %u (%s): at most %u expected, %u found", at, rule.rule, limit, found);
    return false;
  }
}

// Checks one rule on `bytes`, which begin at PIB offset `origin`.
bool Obeys(ByteReader& bytes, uint32_t origin, const PibContentRule& rule, Fault* fault) {
  if (rule.when != 0 && bytes.U8(rule.when - origin) != rule.whenValue)
    return true;
  if (rule.kind == PibRuleKind::SomeZero || rule.kind == PibRuleKind::AllZero) {
    const uint8_t* run = bytes.At(rule.offset - origin, kPibRuleRun);
    const auto zeros = run == nullptr ? 0 : std::count(run, run + kPibRuleRun, 0);
    const bool some = rule.kind == PibRuleKind::SomeZero;
    if (some ? zeros > 0 : run != nullptr && CPibView::IsAllZero16(run))
      return true;
    SayFault(fault, "PIB bytes %u to %u (%s): %s expected, %u found", unsigned{rule.offset},
             unsigned{rule.offset + kPibRuleRun - 1}, rule.rule,
             some ? "at least 1 zero byte" : "16 zero bytes", static_cast<unsigned>(zeros));
    return false;
  }
  const uint32_t entries =
      rule.kind == PibRuleKind::AtMostInEachEntry ? bytes.U8(kPibTableCount - origin) : 1;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint32_t offset = rule.offset + kPibTableEntrySize * i;
    if (!ByteObeys(rule, offset, bytes.U8(offset - origin), fault))
      return false;
  }
  return true;
}

bool ObeysAll(ByteReader bytes, uint32_t origin, const PibContentRule* first,
              const PibContentRule* last, Fault* fault) {
  return std::all_of(first, last,
                     [&](const PibContentRule& rule) { return Obeys(bytes, origin, rule, fault); });
}

} // namespace

bool CPibView::IsAllZero16(const uint8_t* bytes) {
  static const uint8_t kZeros[16] = {};
  return std::memcmp(bytes, kZeros, sizeof kZeros) == 0;
}

// Each is given where its bytes begin, and no size: the views call them only
// on a whole PIB, which holds every byte the rules read.
bool CPibView::PibValidateDeviceBlock(const uint8_t* deviceBlock, Fault* fault) {
  return ObeysAll(ByteReader(deviceBlock, kPibContentSpan - kPibDeviceBlock), kPibDeviceBlock,
                  kPibContentRules, kPibContentRules + kPibDeviceBlockRules, fault);
}

bool CPibView::PibValidateContent(const uint8_t* pib, Fault* fault) {
  return PibValidateDeviceBlock(pib + kPibDeviceBlock, fault) &&
         ObeysAll(ByteReader(pib, kPibContentSpan), 0, kPibContentRules + kPibDeviceBlockRules,
                  std::end(kPibContentRules), fault);
}
