#include "app/CAboutDlg.h"

#include "app/resource.h"

CAboutDlg::CAboutDlg() : CDialogEx(IDD_ABOUTBOX) {}
