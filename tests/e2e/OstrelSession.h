#pragma once
#include "tests/support/WindowHelpers.h"

#include <windows.h>

#include <functional>
#include <string>

// What the log pane shows after a scan.
inline constexpr char kScannedOn[] = "Found a device!\r\nThe power save mode is on!";
inline constexpr char kScannedOff[] = "Found a device!\r\nThe power save mode is off!";
inline constexpr char kNoSetting[] =
    "Found a device!\r\nThis PLC firmware does not sport Power Save setting!";
inline constexpr char kNoDevice[] = "Can not find a local device!";
inline constexpr char kWaiting[] = "Waiting for another program that uses the adapter...";

// One run of Ostrel.exe, driven from outside through its windows the way a
// user would: the main dialog is found by its caption, controls by their ids.
class OstrelSession {
public:
  // Starts `exe` with KELVANE_SIM naming `profile` (empty: unset) and waits
  // until its main dialog is shown.
  OstrelSession(const std::string& exe, const std::string& profile);
  OstrelSession(const OstrelSession&) = delete;
  OstrelSession& operator=(const OstrelSession&) = delete;
  // Ends the process if a test left it running.
  ~OstrelSession();

  bool Started() const { return m_dialog != nullptr; }
  // Waits until the first scan is over (Scan enabled again).
  bool WaitForFirstScan() const;
  std::string Log() const { return WindowText(Item(1003)); }
  // Waits until the log pane shows `text`.
  bool WaitForLog(const std::string& text, DWORD timeoutMs = 30000) const;
  bool Checked(int id) const;
  bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
  bool Visible() const { return ::IsWindowVisible(m_dialog) != FALSE; }
  // Presses a button as a click would; returns when its handler is done.
  void Click(int id) const;
  // Chooses the radio button `radio` and presses OK.
  void Apply(int radio) const {
    Click(radio);
    Click(IDOK);
  }
  // Queues a click on the button and returns at once; it is handled whenever
  // the dialog's thread next takes its messages.
  void PostClick(int id) const { ::PostMessageA(Item(id), BM_CLICK, 0, 0); }
  void PostKey(WPARAM key) const;
  void PostSysCommand(WPARAM command) const { ::PostMessageA(m_dialog, WM_SYSCOMMAND, command, 0); }
  // Finds a dialog of this process with `caption`, waiting for it to appear.
  HWND WaitForWindow(const char* caption) const;
  // Waits for the process to end; returns its exit code, or -1 on timeout.
  int WaitForExit(DWORD timeoutMs = 30000);

  HWND Dialog() const { return m_dialog; }

private:
  HWND Item(int id) const { return ::GetDlgItem(m_dialog, id); }

  PROCESS_INFORMATION m_process{};
  HWND m_dialog = nullptr;
};

// From a first scan that read `startsOn`, OK switches the other way and back,
// a Scan after each; `stored(on)` checks what the adapter then holds.
void ExpectSwitchOverAndBack(const OstrelSession& ostrel, bool startsOn,
                             const std::function<void(bool on)>& stored);
