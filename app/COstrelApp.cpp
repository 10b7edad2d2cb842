#include "app/COstrelApp.h"

#include "app/COstrelDlg.h"
#include "framework/AfxEnableControlContainer.h"
#include "framework/CShellManager.h"

#include <commctrl.h>
#include <new>

COstrelApp theApp;

COstrelApp::COstrelApp() : CWinApp(nullptr) {
  m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
}

BOOL COstrelApp::InitInstance() {
  INITCOMMONCONTROLSEX initCtrls;
  initCtrls.dwSize = sizeof(initCtrls);
  initCtrls.dwICC = ICC_WIN95_CLASSES;
  ::InitCommonControlsEx(&initCtrls);

  Gdiplus::GdiplusStartup(&m_gdiplusToken, &m_gdiplusStartupInput, nullptr);

  CWinApp::InitInstance();
  AfxEnableControlContainer();
  auto* shellManager = new (std::nothrow) CShellManager;
  SetRegistryKey("Local AppWizard-Generated Applications");

  COstrelDlg dlg;
  m_pMainWnd = &dlg;
  // OK never closes the dialog, so its result tells nothing.
  dlg.DoModal();
  m_pMainWnd = nullptr;
  // A WM_QUIT ends the dialog's loop even while the first scan's worker is
  // in the library and uses the dialog. The scan only reads, and the
  // library's detach code would wait for its call, so the process ends here.
  if (dlg.FirstScanRunning())
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(ExitInstance()));

  delete shellManager;
  return FALSE;
}

int COstrelApp::ExitInstance() {
  Gdiplus::GdiplusShutdown(m_gdiplusToken);
  return CWinApp::ExitInstance();
}
