#pragma once
#include "app/AdapterUse.h"
#include "framework/CDialogEx.h"
#include "framework/CEdit.h"
#include "session/AdapterSession.h"
#include "session/SessionHostWin32.h"
#include "session/SessionLock.h"

// The main dialog: shows the adapter's power-save state in two radio buttons
// and a log pane, scans on Scan, applies the chosen state on OK.
class COstrelDlg : public CDialogEx {
public:
  explicit COstrelDlg(CWnd* pParent = nullptr);

  enum class ScanResult : UINT { NotFound, Found, Stopped };
  // Finds the adapter and reports in the log pane; Found when an adapter of
  // a known family was found, Stopped when the wait for the lock was ended.
  // The first scan's thread procedure, FirstScan, runs it too.
  static ScanResult ScanDevice(COstrelDlg* dlg);
  // Chooses the strategy and reads the state into the radio buttons; FALSE
  // only when no adapter of a known family is attached.
  static BOOL DetectDevice(COstrelDlg* dlg);
  // Replaces the log pane's text, or appends one line (cut to fit the line
  // buffer) and scrolls to it; a null text deletes the whole text.
  void ShowLog(const char* text, bool replace);
  // The first scan's worker has not reported back.
  bool FirstScanRunning() const { return m_use.FirstScanRunning(); }

protected:
  const MessageMap* GetMessageMap() const override { return &messageMap; }
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  // Closing while the first scan runs only hides the dialog: it ends when the
  // scan is done, since the scan works on this object, or with the process
  // when the scan is stuck in the library.
  void OnCancel() override;

  static const MessageMapEntry messageEntries[];
  static const MessageMap messageMap;

private:
  void OnSysCommand(UINT nID, LPARAM lParam);
  BOOL OnQueryEndSession();
  void OnEndSession(UINT_PTR ending);
  BOOL OnSetCursor();
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnRadioClicked();
  void ApplySetting();
  void OnScan();
  // The worker's ScanResult comes as the message's parameter.
  void OnFirstScanDone(UINT_PTR result);
  void OnTimer(UINT_PTR nIDEvent);
  void OnWindowPosChanging(WINDOWPOS* pos);
  // Escape that reached no dialog key handling: a library's call that reads
  // the thread's messages dispatches keys as they are.
  void OnKeyDown(UINT_PTR key);
  // The restart registration: `writing` keeps a hang from offering a restart
  // of a process that is mid-write.
  static void RegisterRestart(bool writing);
  static UINT FirstScan(LPVOID pParam);
  // Scan and OK on the dialog's thread: false when the press is dropped.
  // Meanwhile the pointer is the wait cursor.
  bool BeginAdapterUse(AdapterUse::Button button);
  // True when a close came meanwhile.
  bool EndAdapterUse();
  // What a scan found, on the dialog's thread.
  void TakeScanResult(ScanResult result);
  void ShowWaitEnd(AdapterUse::Act act);
  SessionWrite WritePowerSave(PowerSaveState target, bool& stopped);
  void WatchStuckScan();
  void ShowUnkept(const SessionWrite& write);
  // Once: the copies and history this run moved from the SysWOW64 profile.
  void ShowDataFolderMove();
  // Sets m_nPowerSave to `radio` and the radio buttons' check states to match.
  void ShowState(int radio);

  HICON m_hIcon;
  CEdit m_editLog;
  int m_nPowerSave = -1;
  // A write's wait for a held file on the dialog's thread reads its messages.
  class FileWaiter final : public HeldFileWait {
  public:
    explicit FileWaiter(COstrelDlg& dlg) : m_dlg(dlg) {}
    void WaitForHeldFile(unsigned ms) override;

  private:
    COstrelDlg& m_dlg;
  };
  FileWaiter m_fileWaiter{*this};
  WindowsSessionHost m_host{&m_fileWaiter};
  // The adapter, its strategy replaced by each detection.
  AdapterSession m_session{HistoryProgram::Dialog, m_host};
  // Who has the adapter, and what came meanwhile.
  AdapterUse m_use;
  HCURSOR m_hCursorBeforeWait = nullptr;
  // Set when the Scan on the dialog's thread is over, for its watchdog.
  HANDLE m_hScanOver = nullptr;

  // The dialog's part in a wait for the adapter lock.
  class LockWaiter final : public SessionLockWaiter {
  public:
    // Only the dialog's thread asks m_use; the first scan's worker waits
    // without reading messages, so nothing ends its wait.
    LockWaiter(COstrelDlg& dlg, bool dialogThread) : m_dlg(dlg), m_dialogThread(dialogThread) {}
    bool TakeMessage(void* message) override;
    bool StopWaiting() override;
    void StillWaiting() override;

  private:
    COstrelDlg& m_dlg;
    bool m_dialogThread;
  };
};

// The calls that register and remove the reason a logoff or shutdown waits,
// ShutdownBlockReasonCreate's and ShutdownBlockReasonDestroy's; a test
// replaces them to see what is asked for.
using ShutdownBlockReasonCreateFn = BOOL(WINAPI*)(HWND window, LPCWSTR reason);
using ShutdownBlockReasonDestroyFn = BOOL(WINAPI*)(HWND window);
extern ShutdownBlockReasonCreateFn g_shutdownBlockReasonCreate;
extern ShutdownBlockReasonDestroyFn g_shutdownBlockReasonDestroy;
