// DDX_Radio: the group runs from the WS_GROUP button to the next WS_GROUP
// control, counts radio buttons only, and -1 means none.
#include "tests/app/DialogHarness.h"
#include "tests/app/TestDialog.h"

#include <gtest/gtest.h>

namespace {
bool Checked(HWND dialog, int id) {
  return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

TEST(DataExchange, RadioLoadChecksTheIndexAmongRadioButtonsOnly) {
  TestDialog dialog;
  dialog.m_radio = 2;
  RunModal(dialog, "Framework test", [&](HWND window) {
    EXPECT_FALSE(Checked(window, IDC_TEST_A));
    EXPECT_FALSE(Checked(window, IDC_TEST_B));
    EXPECT_TRUE(Checked(window, IDC_TEST_C));
    ::CheckDlgButton(window, IDC_TEST_D, BST_CHECKED);
    dialog.m_radio = -1;
    dialog.UpdateData(FALSE);
    EXPECT_FALSE(Checked(window, IDC_TEST_C));
    EXPECT_TRUE(Checked(window, IDC_TEST_D)) << "D lies outside the group";
    ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  });
}

TEST(DataExchange, RadioSaveGivesTheCheckedIndexOrMinusOne) {
  TestDialog dialog;
  RunModal(dialog, "Framework test", [&](HWND window) {
    EXPECT_EQ(dialog.m_radio, -1);
    ::SendDlgItemMessageA(window, IDC_TEST_B, BM_CLICK, 0, 0);
    dialog.UpdateData(TRUE);
    EXPECT_EQ(dialog.m_radio, 1);
    ::CheckDlgButton(window, IDC_TEST_B, BST_UNCHECKED);
    ::CheckDlgButton(window, IDC_TEST_D, BST_CHECKED);
    dialog.UpdateData(TRUE);
    EXPECT_EQ(dialog.m_radio, -1);
    ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  });
}

TEST(DataExchange, OkSavesBeforeTheDialogEnds) {
  TestDialog dialog;
  const INT_PTR result = RunModal(dialog, "Framework test", [&](HWND window) {
    ::SendDlgItemMessageA(window, IDC_TEST_C, BM_CLICK, 0, 0);
    ::PostMessageA(window, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(dialog.m_radio, 2);
}
} // namespace
