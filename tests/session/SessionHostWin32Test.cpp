// The Windows host's answers that come from the system itself.

#include "session/SessionHostWin32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// The user comes from the process's token; the shared folder is Ostrel in
// %ProgramData%.
TEST(SessionHostWin32, TheUserAndTheSharedFolderComeFromTheSystem) {
  WindowsSessionHost host;
  const RunUser user = host.User();
  EXPECT_EQ(user.sid.rfind("S-1-5-", 0), 0u) << user.sid;
  EXPECT_NE(user.name.find('\\'), std::string::npos) << user.name;
  std::string folder, fault;
  ASSERT_TRUE(host.SharedFolder(folder, fault)) << fault;
  EXPECT_EQ(folder, std::string(std::getenv("ProgramData")) + "\\Ostrel");
}

} // namespace
