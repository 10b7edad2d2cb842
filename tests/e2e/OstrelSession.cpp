#include "tests/e2e/OstrelSession.h"

#include "app/resource.h"

#include <gtest/gtest.h>

namespace {
constexpr DWORD kReplyTimeoutMs = 30000;

struct WindowSearch {
  DWORD processId;
  const char* caption;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  char className[16] = {};
  ::GetClassNameA(window, className, sizeof className);
  if (processId == search->processId && std::string(className) == "#32770" &&
      ::IsWindowVisible(window) && WindowText(window) == search->caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}
} // namespace

OstrelSession::OstrelSession(const std::string& exe, const std::string& profile) {
  ::SetEnvironmentVariableA("KELVANE_SIM", profile.empty() ? nullptr : profile.c_str());
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string commandLine = "\"" + exe + "\"";
  if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &m_process))
    return;
  m_dialog = WaitForWindow("Ostrel");
}

OstrelSession::~OstrelSession() {
  if (m_process.hProcess == nullptr)
    return;
  if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(m_process.hProcess, 1);
    ::WaitForSingleObject(m_process.hProcess, kReplyTimeoutMs);
  }
  ::CloseHandle(m_process.hThread);
  ::CloseHandle(m_process.hProcess);
}

HWND OstrelSession::WaitForWindow(const char* caption) const {
  WindowSearch search{m_process.dwProcessId, caption, nullptr};
  // A program that ends (no display, say) shows no window: stop looking.
  WaitUntil([&] {
    ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr || ::WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0;
  });
  return search.found;
}

bool OstrelSession::WaitForFirstScan() const {
  return Started() && WaitUntil([&] { return Enabled(IDOK) && ::IsWindowEnabled(Item(1005)); });
}

bool OstrelSession::WaitForLog(const std::string& text, DWORD timeoutMs) const {
  return Started() && WaitUntil([&] { return Log() == text; }, timeoutMs);
}

bool OstrelSession::Checked(int id) const {
  DWORD_PTR state = 0;
  ::SendMessageTimeoutA(Item(id), BM_GETCHECK, 0, 0, SMTO_BLOCK, kReplyTimeoutMs, &state);
  return state == BST_CHECKED;
}

void OstrelSession::Click(int id) const {
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(Item(id), BM_CLICK, 0, 0, SMTO_BLOCK, kReplyTimeoutMs, &ignored);
}

void OstrelSession::PostKey(WPARAM key) const {
  ::PostMessageA(m_dialog, WM_KEYDOWN, key, 1);
  ::PostMessageA(m_dialog, WM_KEYUP, key, 0xC0000001);
}

int OstrelSession::WaitForExit(DWORD timeoutMs) {
  if (::WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0)
    return -1;
  DWORD code = 0;
  ::GetExitCodeProcess(m_process.hProcess, &code);
  return static_cast<int>(code);
}

void ExpectSwitchOverAndBack(const OstrelSession& ostrel, bool startsOn,
                             const std::function<void(bool on)>& stored) {
  const auto scanned = [](bool on) { return std::string(on ? kScannedOn : kScannedOff); };
  const auto radio = [](bool on) { return on ? IDC_RADIO_ON : IDC_RADIO_OFF; };
  EXPECT_EQ(ostrel.Log(), scanned(startsOn));
  EXPECT_TRUE(ostrel.Checked(radio(startsOn)));
  EXPECT_FALSE(ostrel.Checked(radio(!startsOn)));
  EXPECT_TRUE(ostrel.Enabled(IDC_RADIO_ON) && ostrel.Enabled(IDC_RADIO_OFF));
  stored(startsOn);
  for (const bool on : {!startsOn, startsOn}) {
    ostrel.Apply(radio(on));
    EXPECT_EQ(ostrel.Log(),
              scanned(!on) + "\r\n" + (on ? "Enable" : "Disable") + " device power save success!");
    stored(on);
    ostrel.Click(IDC_BUTTON_SCAN);
    EXPECT_EQ(ostrel.Log(), scanned(on));
    EXPECT_TRUE(ostrel.Checked(radio(on)));
  }
}
