#include "framework/CWinApp.h"

namespace {
CWinApp* g_app = nullptr;
} // namespace

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) {
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this)
    g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
  if (SupportsRestartManager())
    ::RegisterApplicationRestart(nullptr, GetApplicationRestartFlags());
  return TRUE;
}

int CWinApp::ExitInstance() {
  return 0;
}

CWinApp* AfxGetApp() {
  return g_app;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  CWinApp* app = AfxGetApp();
  if (app == nullptr)
    return -1;
  app->InitInstance();
  return app->ExitInstance();
}
