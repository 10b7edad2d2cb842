#include "devicelib/KelvaneEntryPoints.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

int StalePib(unsigned char*) {
  return 7;
}

// Resolves every name in `context`'s set to a distinct address and records the
// order in which names were asked for.
struct Resolver {
  std::set<std::string> known;
  std::vector<std::string> asked;
  char addresses[kKelvaneEntryPointCount];

  static void* Resolve(void* context, const char* name) {
    Resolver& self = *static_cast<Resolver*>(context);
    self.asked.push_back(name);
    if (self.known.count(name) == 0)
      return nullptr;
    return &self.addresses[self.asked.size() - 1];
  }
};

TEST(KelvaneEntryPoints, BindsAllNamesInOrderIntoTheirOwnSlots) {
  Resolver resolver;
  resolver.known.insert(kKelvaneEntryPointNames, kKelvaneEntryPointNames + kKelvaneEntryPointCount);
  KelvaneEntryPoints table = {};
  EXPECT_EQ(KelvaneBindEntryPoints(table, Resolver::Resolve, &resolver), kKelvaneEntryPointCount);

  const std::vector<std::string> order(kKelvaneEntryPointNames,
                                       kKelvaneEntryPointNames + kKelvaneEntryPointCount);
  EXPECT_EQ(resolver.asked, order);
  EXPECT_EQ(order.front(), "GetLocalDevInfo");
  EXPECT_EQ(order.back(), "BrcmSetParam");

  // Each typed field holds the address resolved for its own name.
  const auto addressOf = [&](const char* name) -> const void* {
    for (std::size_t i = 0; i < kKelvaneEntryPointCount; ++i)
      if (order[i] == name)
        return &resolver.addresses[i];
    return nullptr;
  };
  const auto same = [](auto function, const void* address) {
    const void* bound = nullptr;
    std::memcpy(&bound, &function, sizeof bound);
    return bound == address;
  };
  EXPECT_TRUE(same(table.GetPLCType, addressOf("GetPLCType")));
  EXPECT_TRUE(same(table.GetLocalDevInfo, addressOf("GetLocalDevInfo")));
  EXPECT_TRUE(same(table.GetLocalPIB, addressOf("GetLocalPIB")));
  EXPECT_TRUE(same(table.WriteLocalPIB, addressOf("WriteLocalPIB")));
  EXPECT_TRUE(same(table.ResetLocalDev, addressOf("ResetLocalDev")));
  EXPECT_TRUE(same(table.BrcmGetParam, addressOf("BrcmGetParam")));
  EXPECT_TRUE(same(table.BrcmSetParam, addressOf("BrcmSetParam")));
  EXPECT_EQ(table.GetStandbyMode, addressOf("GetStandbyMode"));
}

TEST(KelvaneEntryPoints, UnresolvedNamesLeaveEmptySlots) {
  Resolver resolver;
  resolver.known = {"GetPLCType", "BrcmGetParam"};
  KelvaneEntryPoints table = {};
  table.GetLocalPIB = StalePib; // left from before
  EXPECT_EQ(KelvaneBindEntryPoints(table, Resolver::Resolve, &resolver), 2u);
  EXPECT_NE(table.GetPLCType, nullptr);
  EXPECT_NE(table.BrcmGetParam, nullptr);
  EXPECT_EQ(table.GetLocalPIB, nullptr);
  EXPECT_EQ(table.BrcmSetParam, nullptr);
  EXPECT_EQ(table.SetQosData, nullptr);
}

} // namespace
