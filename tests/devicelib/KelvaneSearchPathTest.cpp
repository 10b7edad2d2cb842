// This program runs from a folder without Kelvane.dll, with the current
// directory set to a folder that has one: that copy must not be loaded.

#include "devicelib/KelvaneEntryPoints.h"
#include "devicelib/KelvaneLibrary.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(KelvaneSearchPath, ALibraryInTheCurrentDirectoryIsNotLoaded) {
  ASSERT_NE(GetFileAttributesA("Kelvane.dll"), INVALID_FILE_ATTRIBUTES)
      << "the current directory must hold a Kelvane.dll for this test to mean anything";
  EXPECT_FALSE(KelvaneLoad());
  EXPECT_FALSE(KelvaneIsLoaded());
  EXPECT_EQ(g_kelvane.GetPLCType, nullptr);
  EXPECT_EQ(GetModuleHandleA("Kelvane.dll"), nullptr);
}

} // namespace
