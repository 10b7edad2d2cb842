#pragma once
#include "framework/CWinApp.h"

// GDI+ needs the COM declarations that the lean Windows header leaves out.
#include <objidl.h>

#include <gdiplus.h>

// The application object: prepares the process, runs the main dialog, and
// shuts GDI+ down at exit.
class COstrelApp : public CWinApp {
public:
  COstrelApp();

  // Returns FALSE once the dialog has closed, so the process ends.
  BOOL InitInstance() override;
  int ExitInstance() override;

private:
  Gdiplus::GdiplusStartupInput m_gdiplusStartupInput;
  ULONG_PTR m_gdiplusToken = 0;
};
