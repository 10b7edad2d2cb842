#pragma once
#include "framework/CDialogEx.h"
#include "framework/CEdit.h"
#include "session/AdapterSession.h"
#include "session/SessionLock.h"

// The main dialog: shows the adapter's power-save state in two radio buttons
// and a log pane, scans on Scan, applies the chosen state on OK.
class COstrelDlg : public CDialogEx {
public:
  explicit COstrelDlg(CWnd* pParent = nullptr);

  // Finds the adapter and reports in the log pane; 1 when an adapter of a
  // known family was found. The first scan's thread procedure, FirstScan,
  // runs it too.
  static UINT ScanDevice(LPVOID pParam);
  // Chooses the strategy and reads the state into the radio buttons; FALSE
  // only when no adapter of a known family is attached.
  static BOOL DetectDevice(COstrelDlg* dlg);
  // Replaces the log pane's text, or appends one line (cut to fit the line
  // buffer) and scrolls to it; a null text deletes the whole text.
  void ShowLog(const char* text, bool replace);
  // The first scan's worker has not reported back.
  bool FirstScanRunning() const { return m_bFirstScanRunning; }

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
  void OnFirstScanDone();
  void OnTimer(UINT_PTR nIDEvent);
  void OnWindowPosChanging(WINDOWPOS* pos);
  // Escape that reached no dialog key handling: a library's call that reads
  // the thread's messages dispatches keys as they are.
  void OnKeyDown(UINT_PTR key);
  // A press of OK or Scan that was queued while a write ran.
  bool PressedDuringWrite() const;
  // The restart registration: `writing` keeps a hang from offering a restart
  // of a process that is mid-write.
  static void RegisterRestart(bool writing);
  // A write's wait for a held file on this thread reads its messages.
  static void PumpingWait(unsigned ms);
  static UINT FirstScan(LPVOID pParam);
  // Scan and OK on the dialog's thread: false when the adapter is in use
  // already (a click that came while the library pumps messages, or while
  // the lock is awaited). Meanwhile the pointer is the wait cursor.
  bool BeginAdapterUse();
  void EndAdapterUse();
  SessionWrite WritePowerSave(PowerSaveState target, bool& stopped);
  // A wait for the lock that the session's end cut: remembered for its
  // cancel, or, when that came already, said at once.
  void WaitEndedForSession();
  // A close that came while the adapter was in use: after a Scan whose call
  // does not return, the process ends within the grace time.
  void CloseWhenDone();
  void WatchStuckScan();
  void ShowUnkept(const SessionWrite& write);
  // Once: the copies and history this run moved from the SysWOW64 profile.
  void ShowDataFolderMove();
  // Sets m_nPowerSave to `radio` and the radio buttons' check states to match.
  void ShowState(int radio);

  HICON m_hIcon;
  CEdit m_editLog;
  int m_nPowerSave = -1;
  // The adapter, its strategy replaced by each detection.
  AdapterSession m_session{HistoryProgram::Dialog, HostSessionSystem()};
  // Set on the dialog's thread only: from the start of the first scan until
  // the worker's done message arrives.
  bool m_bFirstScanRunning = false;
  bool m_bCloseAfterFirstScan = false;
  // Set while a Scan or an OK runs on the dialog's thread.
  bool m_bAdapterBusy = false;
  HCURSOR m_hCursorBeforeWait = nullptr;
  // Set while OK's write, and the reset after it, run.
  bool m_bWriting = false;
  // The About box was asked for meanwhile; it opens when the adapter is free.
  bool m_bAboutRequested = false;
  // A radio button toggled itself meanwhile; it is set back when done.
  bool m_bRadioClickDropped = false;
  // A close came while the adapter was in use: a wait for the lock ends, a
  // write is finished first, then the dialog closes.
  bool m_bCloseRequested = false;
  // The session's end was agreed to: no write starts.
  bool m_bSessionEnding = false;
  // The session's end was agreed to during a wait for the lock: the wait
  // ends, even when the cancel comes in the same round of messages.
  bool m_bWaitCutForSession = false;
  // A wait for the lock ended because the session's end was agreed to; when
  // it is then cancelled, the log pane says so.
  bool m_bWaitEndedForSession = false;
  // GetTickCount's value when OK's last write ended: a press made before it
  // came while the write ran.
  DWORD m_lastWriteEnd = 0;
  bool m_bWrote = false;
  bool m_bMoveShown = false;
  // Set when the Scan on the dialog's thread is over, for its watchdog.
  HANDLE m_hScanOver = nullptr;

  // The dialog's part in a wait for the adapter lock.
  class LockWaiter final : public SessionLockWaiter {
  public:
    explicit LockWaiter(COstrelDlg& dlg) : m_dlg(dlg) {}
    bool TakeMessage(void* message) override;
    bool StopWaiting() override;
    void StillWaiting() override;

  private:
    COstrelDlg& m_dlg;
  };
  LockWaiter m_waiter{*this};
};

// The calls that register and remove the reason a logoff or shutdown waits,
// ShutdownBlockReasonCreate's and ShutdownBlockReasonDestroy's; a test
// replaces them to see what is asked for.
using ShutdownBlockReasonCreateFn = BOOL(WINAPI*)(HWND window, LPCWSTR reason);
using ShutdownBlockReasonDestroyFn = BOOL(WINAPI*)(HWND window);
extern ShutdownBlockReasonCreateFn g_shutdownBlockReasonCreate;
extern ShutdownBlockReasonDestroyFn g_shutdownBlockReasonDestroy;
