// The main dialog in-process, against the simulated adapter's built-in
// default (a 7420 with power save off): what its initialisation sets up, the
// log pane, and what it shows and registers while it writes.
#include "app/COstrelDlg.h"
#include "app/resource.h"
#include "devicelib/AdapterLock.h"
#include "tests/app/DialogHarness.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {
// Every registration and removal of the reason a logoff waits, with its
// window; a removal's reason reads "removed".
using BlockCall = std::pair<HWND, std::wstring>;
std::vector<BlockCall> g_blockCalls;

BOOL WINAPI RecordBlockCreate(HWND window, LPCWSTR reason) {
  g_blockCalls.emplace_back(window, reason);
  return TRUE;
}

BOOL WINAPI RecordBlockDestroy(HWND window) {
  g_blockCalls.emplace_back(window, L"removed");
  return TRUE;
}

// Another thread holds the adapter lock.
bool AdapterInUse() {
  const AdapterLock probe(0);
  return !probe.Held();
}

HCURSOR Pointer() {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  return ::GetCursorInfo(&info) ? info.hCursor : nullptr;
}

class OstrelDlgTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { _putenv("KELVANE_SIM="); }
  void TearDown() override {
    if (m_profile.empty())
      return;
    _putenv("KELVANE_SIM=");
    ::DeleteFileA(m_profile.c_str());
  }

  // The built-in adapter, with `lines` added to its profile.
  void UseProfile(const char* lines) {
    char folder[MAX_PATH];
    ::GetTempPathA(sizeof folder, folder);
    m_profile = std::string(folder) + "ostrel_app_tests.sim";
    std::ofstream(m_profile) << lines << "\n";
    _putenv_s("KELVANE_SIM", m_profile.c_str());
  }

  // Runs the dialog; `script` starts once the first scan is over and ends
  // with the dialog closed.
  void Run(const std::function<void(HWND)>& script) {
    RunModal(m_dlg, "Ostrel", [&](HWND window) {
      ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(::GetDlgItem(window, IDOK)) != FALSE; }));
      script(window);
      ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    });
  }

  COstrelDlg m_dlg;
  std::string m_profile;
};

TEST_F(OstrelDlgTest, InitialisationAddsTheAboutItemSetsTheIconsAndEndsWithFocusOnOk) {
  Run([&](HWND window) {
    EXPECT_EQ(TextOf(::GetDlgItem(window, IDC_EDIT_LOG)),
              "Found a device!\r\nThe power save mode is off!");
    HMENU menu = ::GetSystemMenu(window, FALSE);
    ASSERT_NE(menu, nullptr);
    const int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(::GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    char text[64] = {};
    ::GetMenuStringA(menu, count - 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&About Ostrel...");
    EXPECT_TRUE(::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);

    const LRESULT big = ::SendMessageA(window, WM_GETICON, ICON_BIG, 0);
    EXPECT_NE(big, 0);
    EXPECT_EQ(::SendMessageA(window, WM_GETICON, ICON_SMALL, 0), big);
    EXPECT_EQ(::SendMessageA(window, WM_QUERYDRAGICON, 0, 0), big);

    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &gui));
    EXPECT_EQ(gui.hwndFocus, ::GetDlgItem(window, IDOK));
  });
}

TEST_F(OstrelDlgTest, ShowLogReplacesOrAppendsOneLine) {
  Run([&](HWND window) {
    HWND pane = ::GetDlgItem(window, IDC_EDIT_LOG);
    m_dlg.ShowLog("", true);
    m_dlg.ShowLog("first", false);
    EXPECT_EQ(TextOf(pane), "\r\nfirst");
    m_dlg.ShowLog("Found a device!", true);
    m_dlg.ShowLog("The power save mode is on!", false);
    EXPECT_EQ(TextOf(pane), "Found a device!\r\nThe power save mode is on!");
  });
}

TEST_F(OstrelDlgTest, ShowLogCutsAMessageThatDoesNotFitItsLine) {
  Run([&](HWND window) {
    m_dlg.ShowLog("start", true);
    m_dlg.ShowLog(std::string(300, 'x').c_str(), false);
    // 256 bytes: the line break, 253 characters and the NUL.
    EXPECT_EQ(TextOf(::GetDlgItem(window, IDC_EDIT_LOG)), "start\r\n" + std::string(253, 'x'));
    m_dlg.ShowLog(std::string(253, 'y').c_str(), false);
    EXPECT_EQ(TextOf(::GetDlgItem(window, IDC_EDIT_LOG)),
              "start\r\n" + std::string(253, 'x') + "\r\n" + std::string(253, 'y'));
  });
}

TEST_F(OstrelDlgTest, ShowLogKeepsTheLastLineInView) {
  Run([&](HWND window) {
    HWND pane = ::GetDlgItem(window, IDC_EDIT_LOG);
    m_dlg.ShowLog("line 0", true);
    for (int i = 1; i < 12; ++i)
      m_dlg.ShowLog(("line " + std::to_string(i)).c_str(), false);
    const LRESULT lines = ::SendMessageA(pane, EM_GETLINECOUNT, 0, 0);
    ASSERT_EQ(lines, 12);
    RECT rect;
    ::SendMessageA(pane, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    const LRESULT first = ::SendMessageA(pane, EM_GETFIRSTVISIBLELINE, 0, 0);
    const LRESULT lastChar = ::SendMessageA(pane, EM_LINEINDEX, lines - 1, 0);
    const LRESULT lastPos = ::SendMessageA(pane, EM_POSFROMCHAR, lastChar, 0);
    EXPECT_GT(first, 0);
    EXPECT_LT(static_cast<short>(HIWORD(lastPos)), rect.bottom);
  });
}

// OK registers the reason for its write and removes it after; Scan only
// reads.
TEST_F(OstrelDlgTest, AWriteRegistersTheReasonALogoffWaitsAndRemovesItAfter) {
  g_shutdownBlockReasonCreate = &RecordBlockCreate;
  g_shutdownBlockReasonDestroy = &RecordBlockDestroy;
  Run([&](HWND window) {
    const std::vector<BlockCall> written = {
        {window, L"Writing the power-save setting to the adapter"}, {window, L"removed"}};
    for (const auto& [button, calls] :
         {std::pair(IDOK, written), std::pair(IDC_BUTTON_SCAN, std::vector<BlockCall>{})}) {
      g_blockCalls.clear();
      ::SendDlgItemMessageA(window, button, BM_CLICK, 0, 0);
      EXPECT_EQ(g_blockCalls, calls) << button;
    }
  });
  g_shutdownBlockReasonCreate = &::ShutdownBlockReasonCreate;
  g_shutdownBlockReasonDestroy = &::ShutdownBlockReasonDestroy;
}

// While OK writes, slowly or through a library that pumps, the pointer is the
// wait cursor, also when it moves over the dialog meanwhile; not after.
class OstrelDlgWriteTest : public OstrelDlgTest,
                           public ::testing::WithParamInterface<const char*> {};

TEST_P(OstrelDlgWriteTest, ThePointerIsTheWaitCursorWhileOkWrites) {
  const HCURSOR wait = ::LoadCursor(nullptr, IDC_WAIT);
  UseProfile(GetParam());
  Run([&](HWND window) {
    ::PostMessageA(::GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor(AdapterInUse));
    // A library that does not pump takes this only after the write.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                          MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), SMTO_BLOCK, 200, &ignored);
    EXPECT_EQ(Pointer(), wait);
    EXPECT_TRUE(AdapterInUse()) << "the write ended too soon to tell";
    ASSERT_TRUE(WaitFor([&] {
      return TextOf(::GetDlgItem(window, IDC_EDIT_LOG)).find("success") != std::string::npos;
    }));
    EXPECT_NE(Pointer(), wait);
  });
}

INSTANTIATE_TEST_SUITE_P(Slowness, OstrelDlgWriteTest,
                         ::testing::Values("delay_ms = 500", "pump_ms = 1500"));
} // namespace
