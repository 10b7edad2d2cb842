#pragma once
#include "framework/CDialogEx.h"

// The About box, opened from the system menu; its OK closes it.
class CAboutDlg : public CDialogEx {
public:
  CAboutDlg();
};
