// Dispatch through the message map: a class's own entries first, then its
// base's; commands matched by id and notification; Default() hands the
// message back to the system.
#include "tests/app/DialogHarness.h"
#include "tests/app/TestDialog.h"

#include <gtest/gtest.h>

namespace {
TEST(MessageMap, CommandsMatchIdAndNotification) {
  TestDialog dialog;
  RunModal(dialog, "Framework test", [&](HWND window) {
    ::SendDlgItemMessageA(window, IDC_TEST_GO, BM_CLICK, 0, 0);
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_TEST_GO, BN_DOUBLECLICKED), 0);
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_TEST_A, BN_CLICKED), 0);
    EXPECT_EQ(dialog.m_goClicks, 1);
    ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  });
}

TEST(MessageMap, OwnEntryTakesPrecedenceOverTheBaseEntry) {
  TestDialog dialog;
  dialog.m_replaceOk = true;
  const INT_PTR result = RunModal(dialog, "Framework test", [&](HWND window) {
    ::SendMessageA(window, WM_COMMAND, IDOK, 0);
    ::SendMessageA(window, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(::IsWindowVisible(window));
    // Cancel has no entry of its own and reaches CDialog's.
    ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(dialog.m_okClicks, 2);
  EXPECT_EQ(result, IDCANCEL);
}

TEST(MessageMap, AnswersReachTheSenderDirectlyOrThroughTheMessageResult) {
  TestDialog dialog;
  RunModal(dialog, "Framework test", [&](HWND window) {
    const auto expected = reinterpret_cast<LRESULT>(TestDialog::Answer());
    EXPECT_EQ(::SendMessageA(window, TestDialog::WM_TEST_ANSWER, 0, 0), expected);
    EXPECT_EQ(::SendMessageA(window, WM_QUERYDRAGICON, 0, 0), expected);
    ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  });
}

TEST(MessageMap, DefaultHandsTheMessageToTheSystem) {
  TestDialog dialog;
  // The mapped WM_SYSCOMMAND handler asks for default handling, so SC_CLOSE
  // closes as it would without an entry: through Cancel.
  const INT_PTR result = RunModal(dialog, "Framework test", [&](HWND window) {
    ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  EXPECT_EQ(result, IDCANCEL);
}
} // namespace
