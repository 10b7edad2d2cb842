// The Windows host's answers that come from the system itself.

#include "session/SessionHostWin32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(SessionHostWin32, TheUserComesFromTheProcessToken) {
  WindowsSessionHost host;
  const RunUser user = host.User();
  EXPECT_EQ(user.sid.rfind("S-1-5-", 0), 0u) << user.sid;
  EXPECT_NE(user.name.find('\\'), std::string::npos) << user.name;
}

TEST(SessionHostWin32, TheSharedFolderIsOstrelInProgramData) {
  WindowsSessionHost host;
  std::string folder, fault;
  ASSERT_TRUE(host.SharedFolder(folder, fault)) << fault;
  EXPECT_EQ(folder, std::string(std::getenv("ProgramData")) + "\\Ostrel");
}

} // namespace
