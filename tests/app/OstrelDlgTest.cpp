// The main dialog in-process, against the simulated adapter's built-in
// default (a 7420 with power save off): what its initialisation sets up, the
// log pane, and a write.
#include "app/COstrelDlg.h"
#include "app/resource.h"
#include "tests/app/DialogHarness.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <fstream>

namespace {
// Reasons registered for a logoff to wait, less those removed; a wrong text
// counts 100.
std::atomic<int> g_blocks{0};
BOOL WINAPI CountBlock(HWND, LPCWSTR reason) {
  g_blocks += std::wstring(reason) == L"Writing the power-save setting to the adapter" ? 1 : 100;
  return TRUE;
}
BOOL WINAPI CountUnblock(HWND) {
  --g_blocks;
  return TRUE;
}

HCURSOR Pointer() {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  return ::GetCursorInfo(&info) ? info.hCursor : nullptr;
}

class OstrelDlgTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { _putenv("KELVANE_SIM="); }

  // Runs the dialog; `script` starts once the first scan is over and ends
  // with the dialog closed.
  void Run(const std::function<void(HWND)>& script) {
    RunModal(m_dlg, "Ostrel", [&](HWND window) {
      ASSERT_TRUE(
          WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(window, IDOK)) != FALSE; }));
      script(window);
      ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    });
  }

  COstrelDlg m_dlg;
};

TEST_F(OstrelDlgTest, InitialisationAddsTheAboutItemSetsTheIconsAndEndsWithFocusOnOk) {
  Run([&](HWND window) {
    EXPECT_EQ(WindowText(::GetDlgItem(window, IDC_EDIT_LOG)),
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
    EXPECT_EQ(WindowText(pane), "\r\nfirst");
    m_dlg.ShowLog("Found a device!", true);
    m_dlg.ShowLog("The power save mode is on!", false);
    EXPECT_EQ(WindowText(pane), "Found a device!\r\nThe power save mode is on!");
  });
}

TEST_F(OstrelDlgTest, ShowLogCutsAMessageThatDoesNotFitItsLine) {
  Run([&](HWND window) {
    m_dlg.ShowLog("start", true);
    m_dlg.ShowLog(std::string(300, 'x').c_str(), false);
    // 256 bytes: the line break, 253 characters and the NUL.
    EXPECT_EQ(WindowText(::GetDlgItem(window, IDC_EDIT_LOG)), "start\r\n" + std::string(253, 'x'));
    m_dlg.ShowLog(std::string(253, 'y').c_str(), false);
    EXPECT_EQ(WindowText(::GetDlgItem(window, IDC_EDIT_LOG)),
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

// While OK writes, slowly or through a library that pumps, the reason a logoff
// waits is registered and the pointer is the wait cursor, also when it moves
// over the dialog. A logoff asked meanwhile gets no from a pumping call, yes
// once the write is over; About asked for meanwhile opens after the write.
class OstrelDlgWriteTest : public OstrelDlgTest,
                           public ::testing::WithParamInterface<std::pair<const char*, LRESULT>> {};

TEST_P(OstrelDlgWriteTest, ALogoffAndAboutWaitForTheWriteAndThePointerShowsIt) {
  const auto [slowness, answer] = GetParam();
  // The prefix's own temporary folder: the other Wine prefix may run this
  // program in the same folder at the same time.
  char temp[MAX_PATH];
  ::GetTempPathA(sizeof temp, temp);
  const std::string profile = std::string(temp) + "ostrel-app-slow.sim";
  const std::string gate = std::string(temp) + "ostrel-app-open.gate";
  std::ofstream(profile) << slowness << "\n";
  ::DeleteFileA(gate.c_str());
  _putenv(("KELVANE_SIM=" + profile).c_str());
  g_shutdownBlockReasonCreate = &CountBlock;
  g_shutdownBlockReasonDestroy = &CountUnblock;
  const HCURSOR wait = ::LoadCursor(nullptr, IDC_WAIT);
  Run([&](HWND window) {
    ::PostMessageA(::GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([] { return g_blocks == 1; }));
    ::PostMessageA(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    // A library that does not pump takes these only after the write.
    DWORD_PTR got = 0;
    ::SendMessageTimeoutA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                          MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), SMTO_BLOCK, 200, &got);
    EXPECT_EQ(Pointer(), wait);
    ::SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 30000,
                          &got);
    EXPECT_EQ(static_cast<LRESULT>(got), answer);
    // A pumping write waits at the simulator's gate until the logoff is asked.
    std::ofstream{gate};
    HWND about = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (about = ::FindWindowA("#32770", "About Ostrel")) != nullptr; }));
    EXPECT_NE(WindowText(::GetDlgItem(window, IDC_EDIT_LOG)).find("success!"), std::string::npos);
    EXPECT_EQ(g_blocks, 0);
    EXPECT_NE(Pointer(), wait);
    ::SendMessageA(about, WM_COMMAND, IDOK, 0);
    ::SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 30000,
                          &got);
    EXPECT_EQ(got, static_cast<DWORD_PTR>(TRUE));
  });
  _putenv("KELVANE_SIM=");
  ::DeleteFileA(profile.c_str());
  ::DeleteFileA(gate.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Slowness, OstrelDlgWriteTest,
    ::testing::Values(
        std::pair("delay_ms = 500", LRESULT{TRUE}),
        std::pair("pump_ms = 1\ngate = WriteLocalPIB\ngate_open = ostrel-app-open.gate",
                  LRESULT{FALSE})));
} // namespace
