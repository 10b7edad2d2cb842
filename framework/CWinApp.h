#pragma once
#include "framework/CWnd.h"

// Restart-manager support flag bits.
constexpr DWORD AFX_RESTART_MANAGER_SUPPORT_RESTART = 0x01;
constexpr DWORD AFX_RESTART_MANAGER_SUPPORT_RECOVERY = 0x02;

// The application object: the program has exactly one, a static object. The
// entry point calls InitInstance, then ExitInstance, whose result becomes the
// process exit code. The whole user interface runs inside InitInstance (a
// modal dialog), so there is no message loop of the application's own.
class CWinApp {
public:
  explicit CWinApp(const char* appName = nullptr);
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;
  virtual ~CWinApp();

  // Registers the process with the restart manager when restart support is
  // asked for; returns TRUE.
  virtual BOOL InitInstance();
  // Returns the process exit code: 0.
  virtual int ExitInstance();

  virtual BOOL SupportsRestartManager() const {
    return (m_dwRestartManagerSupportFlags & AFX_RESTART_MANAGER_SUPPORT_RESTART) != 0;
  }
  virtual BOOL SupportsApplicationRecovery() const {
    return (m_dwRestartManagerSupportFlags & AFX_RESTART_MANAGER_SUPPORT_RECOVERY) != 0;
  }
  virtual DWORD GetApplicationRestartFlags() const { return 0; }

  // Names the registry key under HKEY_CURRENT_USER\Software where the
  // framework keeps per-user settings.
  void SetRegistryKey(const char* registryKey) { m_pszRegistryKey = registryKey; }

  const char* m_pszAppName;
  const char* m_pszRegistryKey = nullptr;
  CWnd* m_pMainWnd = nullptr;
  DWORD m_dwRestartManagerSupportFlags = 0;
};

// The one application object, or null before it is constructed.
CWinApp* AfxGetApp();
