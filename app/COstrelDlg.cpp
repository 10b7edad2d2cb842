#include "app/COstrelDlg.h"

#include "app/CAboutDlg.h"
#include "app/DialogText.h"
#include "app/resource.h"
#include "files/Utf8.h"
#include "files/WideText.h"
#include "framework/AfxBeginThread.h"
#include "framework/CPaintDC.h"
#include "framework/CWinApp.h"
#include "session/WaitSetting.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {
// Posted by the first scan's worker as its last act, with its ScanResult.
constexpr UINT WM_FIRSTSCANDONE = WM_APP + 1;
// After a Cancel during the first scan: how long the scan may take to end
// before the process ends without it.
constexpr UINT_PTR kStuckFirstScanTimer = 1;
constexpr UINT kStuckFirstScanMs = 1000;
// One appended log line: "\r\n", the message and the terminating NUL.
constexpr int kLogLineSize = 256;
// m_nPowerSave: the index of the checked radio button. Note that " On",
// index 0, shows GetPowerSave's 1.
constexpr int kRadioOn = 0;
constexpr int kRadioOff = 1;
constexpr int kRadioNone = -1;
// The dialog's writes keep a copy to undo them by, and are not read back.
constexpr SessionWriteOptions kDialogWrite = {true, false};
constexpr wchar_t kWritingReason[] = L"Writing the power-save setting to the adapter";

// Escape on a control, when no dialog key handling saw it first, does what it
// does through that handling: Cancel.
LRESULT CALLBACK EscapeCancels(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR) {
  if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
    ::SendMessageW(::GetParent(window), WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
}

BOOL CALLBACK SubclassForEscape(HWND control, LPARAM) {
  ::SetWindowSubclass(control, &EscapeCancels, 0, 0);
  return TRUE;
}

// How long a scan or a write waits for the adapter: 30 s, unless the
// environment asks for less.
uint32_t DialogWait() {
  return DialogWaitMs(std::getenv(kDialogWaitVariable), kAdapterWaitSeconds * 1000);
}
} // namespace

ShutdownBlockReasonCreateFn g_shutdownBlockReasonCreate = &::ShutdownBlockReasonCreate;
ShutdownBlockReasonDestroyFn g_shutdownBlockReasonDestroy = &::ShutdownBlockReasonDestroy;

const MessageMapEntry COstrelDlg::messageEntries[] = {
    AfxOnMessage<&COstrelDlg::OnSysCommand>(WM_SYSCOMMAND),
    AfxOnMessage<&COstrelDlg::OnQueryEndSession>(WM_QUERYENDSESSION),
    AfxOnMessage<&COstrelDlg::OnEndSession>(WM_ENDSESSION),
    AfxOnMessage<&COstrelDlg::OnSetCursor>(WM_SETCURSOR),
    AfxOnMessage<&COstrelDlg::OnPaint>(WM_PAINT),
    AfxOnMessage<&COstrelDlg::OnQueryDragIcon>(WM_QUERYDRAGICON),
    AfxOnCommand<&COstrelDlg::OnRadioClicked>(IDC_RADIO_ON, BN_CLICKED),
    AfxOnCommand<&COstrelDlg::OnRadioClicked>(IDC_RADIO_OFF, BN_CLICKED),
    AfxOnCommand<&COstrelDlg::ApplySetting>(IDOK, BN_CLICKED),
    AfxOnCommand<&COstrelDlg::OnScan>(IDC_BUTTON_SCAN, BN_CLICKED),
    AfxOnMessage<&COstrelDlg::OnFirstScanDone>(WM_FIRSTSCANDONE),
    AfxOnMessage<&COstrelDlg::OnTimer>(WM_TIMER),
    AfxOnMessage<&COstrelDlg::OnWindowPosChanging>(WM_WINDOWPOSCHANGING),
    AfxOnMessage<&COstrelDlg::OnKeyDown>(WM_KEYDOWN),
};
const MessageMap COstrelDlg::messageMap = {&CDialogEx::messageMap, messageEntries,
                                           std::size(messageEntries)};

COstrelDlg::COstrelDlg(CWnd* pParent)
    : CDialogEx(IDD_OSTREL_DIALOG, pParent),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

void COstrelDlg::DoDataExchange(CDataExchange* pDX) {
  CDialogEx::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_EDIT_LOG, m_editLog);
  DDX_Radio(pDX, IDC_RADIO_ON, m_nPowerSave);
}

BOOL COstrelDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();

  HMENU sysMenu = GetSystemMenu(FALSE);
  if (sysMenu != nullptr) {
    char about[64];
    if (::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, about, sizeof about) > 0) {
      ::AppendMenuA(sysMenu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuA(sysMenu, MF_STRING, IDM_ABOUTBOX, about);
    }
  }

  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);

  m_host.LoadDevice();
  ::EnumChildWindows(m_hWnd, &SubclassForEscape, 0);

  // The first scan owns the strategy and the device library until it is
  // done, so Scan and OK wait for it. Meanwhile the focus rests on the log
  // pane: on Cancel, the next control with a tab stop, Enter would close.
  ::EnableWindow(GetDlgItem(IDC_BUTTON_SCAN), FALSE);
  ::EnableWindow(GetDlgItem(IDOK), FALSE);
  SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_editLog.m_hWnd), TRUE);
  m_use.FirstScanStarts();
  if (!AfxBeginThread(&COstrelDlg::FirstScan, this))
    OnFirstScanDone(static_cast<UINT_PTR>(ScanResult::NotFound));
  // The focus is set.
  return FALSE;
}

UINT COstrelDlg::FirstScan(LPVOID pParam) {
  auto* dlg = static_cast<COstrelDlg*>(pParam);
  const ScanResult result = ScanDevice(dlg);
  // The dialog outlives this post: it does not close before it receives it.
  ::PostMessageA(dlg->m_hWnd, WM_FIRSTSCANDONE, static_cast<WPARAM>(result), 0);
  return result == ScanResult::Found;
}

void COstrelDlg::OnFirstScanDone(UINT_PTR result) {
  TakeScanResult(static_cast<ScanResult>(result));
  if (m_use.FirstScanEnds() == AdapterUse::Act::CloseNow) {
    ::KillTimer(m_hWnd, kStuckFirstScanTimer);
    CDialogEx::OnCancel();
    return;
  }
  UpdateData(TRUE);
  ::EnableWindow(GetDlgItem(IDC_BUTTON_SCAN), TRUE);
  ::EnableWindow(GetDlgItem(IDOK), TRUE);
  // The focus the dialog would have had from the start.
  SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDOK)), TRUE);
}

void COstrelDlg::OnCancel() {
  switch (m_use.Close()) {
  case AdapterUse::Act::HideUntilFirstScanEnds:
    ::ShowWindow(m_hWnd, SW_HIDE);
    ::SetTimer(m_hWnd, kStuckFirstScanTimer, kStuckFirstScanMs, nullptr);
    break;
  case AdapterUse::Act::WatchScanThenClose:
    WatchStuckScan();
    break;
  case AdapterUse::Act::CloseNow:
    CDialogEx::OnCancel();
    break;
  default:
    break;
  }
}

// A Scan's call runs on this thread, so only another thread can see that it
// does not return. Reads only: nothing is lost when the process ends under
// it, and TerminateProcess, since a hung library's detach code would keep
// ExitProcess waiting.
void COstrelDlg::WatchStuckScan() {
  if (m_hScanOver == nullptr)
    return;
  struct Watch {
    static DWORD WINAPI Run(LPVOID event) {
      if (::WaitForSingleObject(static_cast<HANDLE>(event), kStuckFirstScanMs) != WAIT_TIMEOUT)
        return 0;
      CWinApp* app = AfxGetApp();
      const UINT code = app != nullptr ? static_cast<UINT>(app->ExitInstance()) : 0;
      ::TerminateProcess(::GetCurrentProcess(), code);
      return 0;
    }
  };
  const HANDLE thread = ::CreateThread(nullptr, 0, &Watch::Run, m_hScanOver, 0, nullptr);
  if (thread != nullptr)
    ::CloseHandle(thread);
}

// The first scan only reads, so a scan stuck in the library loses nothing
// when the process ends under it. The dialog itself cannot end first: the
// worker would go on to use it. Not ExitProcess: it runs the library's detach
// code, which may wait for the stuck call and keep a hidden process alive.
void COstrelDlg::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent != kStuckFirstScanTimer || !m_use.FirstScanRunning())
    return;
  CWinApp* app = AfxGetApp();
  const UINT code = app != nullptr ? static_cast<UINT>(app->ExitInstance()) : 0;
  ::TerminateProcess(::GetCurrentProcess(), code);
}

// The modal loop shows the dialog when its queue first runs empty, which may
// come after a Cancel has hidden it.
void COstrelDlg::OnWindowPosChanging(WINDOWPOS* pos) {
  if (m_use.Hidden())
    pos->flags &= ~SWP_SHOWWINDOW;
  Default();
}

void COstrelDlg::OnSysCommand(UINT nID, LPARAM lParam) {
  if ((nID & 0xFFF0) != IDM_ABOUTBOX) {
    CDialogEx::OnSysCommand(nID, lParam);
  } else if (m_use.AboutAsked() == AdapterUse::Act::OpenAbout) {
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
  }
}

void COstrelDlg::OnKeyDown(UINT_PTR key) {
  if (key == VK_ESCAPE)
    OnCancel();
}

// Unlike the lock's wait, a close or the session's end never ends this one:
// the copy and the record of a write under way are always finished. Clicks
// that come meanwhile are dropped as during the write.
void COstrelDlg::FileWaiter::WaitForHeldFile(unsigned ms) {
  const HWND dialog = m_dlg.m_hWnd;
  if (dialog == nullptr || ::GetWindowThreadProcessId(dialog, nullptr) != ::GetCurrentThreadId()) {
    ::Sleep(ms);
    return;
  }
  const ULONGLONG end = ::GetTickCount64() + ms;
  for (ULONGLONG now = ::GetTickCount64(); now < end; now = ::GetTickCount64()) {
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      if (!::IsDialogMessageW(dialog, &message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
    }
  }
}

void COstrelDlg::RegisterRestart(bool writing) {
  const CWinApp* app = AfxGetApp();
  if (app != nullptr && app->SupportsRestartManager())
    ::RegisterApplicationRestart(nullptr, app->GetApplicationRestartFlags() |
                                              (writing ? RESTART_NO_HANG : 0));
}

// A library that does not pump keeps the question until the write is over.
BOOL COstrelDlg::OnQueryEndSession() {
  return m_use.QueryEndSession() ? TRUE : FALSE;
}

void COstrelDlg::OnEndSession(UINT_PTR ending) {
  ShowWaitEnd(m_use.EndSession(ending != FALSE));
}

void COstrelDlg::ShowWaitEnd(AdapterUse::Act act) {
  if (act == AdapterUse::Act::SaySessionGoesOn)
    ShowLog(kDialogSessionGoesOnLine, false);
}

bool COstrelDlg::LockWaiter::TakeMessage(void* message) {
  return ::IsDialogMessageA(m_dlg.m_hWnd, static_cast<MSG*>(message)) != FALSE;
}

bool COstrelDlg::LockWaiter::StopWaiting() {
  return m_dialogThread && m_dlg.m_use.StopsWait();
}

// From the first scan's worker the line reaches the pane through messages.
void COstrelDlg::LockWaiter::StillWaiting() {
  m_dlg.ShowLog(kDialogWaitingLine, false);
}

// A pumping library dispatches mouse messages, which would set the class's
// arrow again.
BOOL COstrelDlg::OnSetCursor() {
  if (!m_use.Busy()) {
    Default();
    return FALSE;
  }
  ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
  return TRUE;
}

void COstrelDlg::OnPaint() {
  if (!IsIconic()) {
    CDialogEx::OnPaint();
    return;
  }
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
  const int cxIcon = ::GetSystemMetrics(SM_CXICON);
  const int cyIcon = ::GetSystemMetrics(SM_CYICON);
  RECT rect;
  GetClientRect(&rect);
  const int x = (rect.right - rect.left - cxIcon + 1) / 2;
  const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
  dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR COstrelDlg::OnQueryDragIcon() {
  return static_cast<HCURSOR>(m_hIcon);
}

void COstrelDlg::OnRadioClicked() {
  if (m_use.RadioClicked() == AdapterUse::Act::TakeChoice)
    UpdateData(TRUE);
}

// Wide both ways: the pane holds whatever the UTF-8 text holds, whatever the
// ANSI code page.
void COstrelDlg::ShowLog(const char* text, bool replace) {
  if (text == nullptr) {
    m_editLog.SetSel(0, -1);
    m_editLog.Clear();
    return;
  }
  std::wstring line;
  if (replace) {
    if (WideFromUtf8(text, line))
      ::SetWindowTextW(m_editLog.m_hWnd, line.c_str());
    return;
  }
  // Cut as the line buffer of old, "\r\n" and the NUL included.
  if (!WideFromUtf8(std::string(Utf8Prefix(text, kLogLineSize - 3)), line))
    return;
  const int length = ::GetWindowTextLengthW(m_editLog.m_hWnd);
  std::wstring all(static_cast<std::size_t>(length) + 1, L'\0');
  all.resize(static_cast<std::size_t>(::GetWindowTextW(m_editLog.m_hWnd, all.data(), length + 1)));
  all += L"\r\n" + line;
  ::SetWindowTextW(m_editLog.m_hWnd, all.c_str());
  m_editLog.LineScroll(m_editLog.GetLineCount(), 0);
}

COstrelDlg::ScanResult COstrelDlg::ScanDevice(COstrelDlg* dlg) {
  dlg->ShowLog("Scanning device...", true);
  bool found = false;
  {
    // An adapter that another program keeps busy cannot be found. On the
    // dialog's own thread the wait keeps the dialog answering.
    const bool dialogThread =
        ::GetWindowThreadProcessId(dlg->m_hWnd, nullptr) == ::GetCurrentThreadId();
    LockWaiter waiter(*dlg, dialogThread);
    const auto lock = dlg->m_host.Lock(DialogWait(), dialogThread, &waiter);
    // A close ends the dialog; the session's end, the process, or, when
    // cancelled, a line of its own.
    if (lock->Stopped())
      return ScanResult::Stopped;
    found = lock->Held() && DetectDevice(dlg);
  }
  if (!found) {
    dlg->ShowLog("Can not find a local device!", true);
    return ScanResult::NotFound;
  }
  dlg->ShowLog("Found a device!", true);
  if (dlg->m_nPowerSave == kRadioNone) {
    dlg->ShowLog("This PLC firmware does not sport Power Save setting!", false);
  } else {
    dlg->ShowLog(
        DialogModeLine(dlg->m_nPowerSave == kRadioOn ? PowerSaveState::On : PowerSaveState::Off)
            .c_str(),
        false);
  }
  if (const auto& cutShort = dlg->m_session.CutShortWrite())
    dlg->ShowLog(DialogCutShortLine(*cutShort).c_str(), false);
  return ScanResult::Found;
}

void COstrelDlg::TakeScanResult(ScanResult result) {
  if (result == ScanResult::Stopped)
    ShowWaitEnd(m_use.WaitEnds(true));
  else if (result == ScanResult::Found)
    ShowDataFolderMove();
}

BOOL COstrelDlg::DetectDevice(COstrelDlg* dlg) {
  if (!dlg->m_session.Detect())
    return FALSE;
  HWND on = dlg->GetDlgItem(IDC_RADIO_ON);
  HWND off = dlg->GetDlgItem(IDC_RADIO_OFF);
  if (!dlg->m_session.HasStrategy()) {
    dlg->ShowState(kRadioNone);
    ::EnableWindow(off, FALSE);
    ::EnableWindow(on, FALSE);
    return TRUE;
  }
  const PowerSaveState state = dlg->m_session.State();
  ::EnableWindow(off, TRUE);
  ::EnableWindow(on, TRUE);
  dlg->ShowState(state == PowerSaveState::On    ? kRadioOn
                 : state == PowerSaveState::Off ? kRadioOff
                                                : kRadioNone);
  return TRUE;
}

// The checked button is set first, then the other cleared.
void COstrelDlg::ShowState(int radio) {
  m_nPowerSave = radio;
  const UINT on = radio == kRadioOn ? BST_CHECKED : BST_UNCHECKED;
  const UINT off = radio == kRadioOff ? BST_CHECKED : BST_UNCHECKED;
  if (radio == kRadioOn) {
    CheckDlgButton(IDC_RADIO_ON, on);
    CheckDlgButton(IDC_RADIO_OFF, off);
  } else {
    CheckDlgButton(IDC_RADIO_OFF, off);
    CheckDlgButton(IDC_RADIO_ON, on);
  }
}

// The message's own time, not the handler's: a posted BM_CLICK carries its
// posting time. A message sent from another thread has no time of its own.
bool COstrelDlg::BeginAdapterUse(AdapterUse::Button button) {
  if (m_use.Pressed(button, static_cast<DWORD>(::GetMessageTime()), ::InSendMessage() != FALSE) !=
      AdapterUse::Act::BeginUse)
    return false;
  m_hCursorBeforeWait = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
  return true;
}

bool COstrelDlg::EndAdapterUse() {
  const AdapterUse::UseEnd end = m_use.UseEnds();
  ::SetCursor(m_hCursorBeforeWait);
  if (end.setBackRadios)
    UpdateData(FALSE);
  if (end.openAbout)
    ::PostMessageA(m_hWnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  return end.close;
}

// With no strategy there is nothing to write: a failed write. `stopped`:
// the dialog was closed, or the session's end agreed to, before the write
// began, so nothing was written.
SessionWrite COstrelDlg::WritePowerSave(PowerSaveState target, bool& stopped) {
  stopped = false;
  if (!m_session.HasStrategy())
    return {};
  LockWaiter waiter(*this, true);
  const auto lock = m_host.Lock(DialogWait(), true, &waiter);
  const AdapterUse::Act waited = m_use.WaitEnds(lock->Stopped());
  stopped = waited != AdapterUse::Act::Go;
  ShowWaitEnd(waited);
  if (!lock->Held() || stopped)
    return {};
  // From the first write on, Windows never offers to close the window while
  // a call keeps its thread from the queue: ghosting stays off for the
  // process's life. Nor does a hang during the write offer a restart.
  ::DisableProcessWindowsGhosting();
  RegisterRestart(true);
  // Windows shows the reason while a logoff or shutdown waits for the write;
  // registered here, on the dialog's thread, before the first library call.
  m_use.WriteStarts();
  g_shutdownBlockReasonCreate(m_hWnd, kWritingReason);
  SessionWrite write = m_session.Switch(target, kDialogWrite);
  g_shutdownBlockReasonDestroy(m_hWnd);
  RegisterRestart(false);
  m_use.WriteEnds(m_host.TickCount());
  return write;
}

// A write without its copy or its record says so, after its result line, so
// that nobody counts on an undo that cannot reach it.
void COstrelDlg::ShowUnkept(const SessionWrite& write) {
  const std::string line = DialogUnkeptLine(UnkeptOf(write));
  if (!line.empty())
    ShowLog(line.c_str(), false);
}

void COstrelDlg::ShowDataFolderMove() {
  const std::string movedFrom = m_host.DataFolderMovedFrom();
  if (movedFrom.empty() || !m_use.MoveLineDue())
    return;
  ShowLog(DialogMovedLine(movedFrom).c_str(), false);
}

// No radio set writes Off, as the dialog always has.
void COstrelDlg::ApplySetting() {
  if (!BeginAdapterUse(AdapterUse::Button::Ok))
    return;
  const PowerSaveState target = m_nPowerSave == kRadioOn ? PowerSaveState::On : PowerSaveState::Off;
  bool stopped = false;
  const SessionWrite write = WritePowerSave(target, stopped);
  const bool close = EndAdapterUse();
  if (!stopped) {
    ShowLog(DialogResultLine(target, write.outcome).c_str(), false);
    ShowUnkept(write);
    ShowDataFolderMove();
  }
  if (close)
    CDialogEx::OnCancel();
}

void COstrelDlg::OnScan() {
  if (!BeginAdapterUse(AdapterUse::Button::Scan))
    return;
  m_hScanOver = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  TakeScanResult(ScanDevice(this));
  const bool close = EndAdapterUse();
  if (m_hScanOver != nullptr) {
    ::SetEvent(m_hScanOver);
    // The watchdog, if one runs, holds the event; it is closed here only
    // once no watchdog can wait on it any more.
    if (!close)
      ::CloseHandle(m_hScanOver);
    m_hScanOver = nullptr;
  }
  if (close)
    CDialogEx::OnCancel();
}
