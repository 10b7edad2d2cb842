#pragma once
#include "framework/CDialog.h"

// The dialog base the program's dialogs derive from. It adds nothing to
// CDialog: our dialogs draw no background image or colour of their own.
class CDialogEx : public CDialog {
public:
  using CDialog::CDialog;
};
