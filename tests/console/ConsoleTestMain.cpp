// The console programs' tests run from the console library's own entry
// point, as the programs do: Main starts GoogleTest.
#include "console/ConsoleMain.h"

#include <gtest/gtest.h>

int Main(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  int argc = static_cast<int>(argv.size());
  argv.push_back(nullptr);
  ::testing::InitGoogleTest(&argc, argv.data());
  return RUN_ALL_TESTS();
}
