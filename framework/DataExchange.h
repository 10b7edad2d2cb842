#pragma once
#include "framework/CWnd.h"

// Moves values between a dialog's controls and its fields: the load direction
// sets the controls, the save direction reads them back.
class CDataExchange {
public:
  CDataExchange(CWnd* dlgWnd, BOOL saveAndValidate)
      : m_pDlgWnd(dlgWnd), m_bSaveAndValidate(saveAndValidate) {}

  CWnd* m_pDlgWnd;
  BOOL m_bSaveAndValidate;
};

// Attaches `control` to the dialog's control `id`, once.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

// The radio group that starts at control `id` (which has WS_GROUP) and ends
// before the next control with WS_GROUP; `value` is the index of the checked
// radio button among the group's radio buttons, -1 for none.
void DDX_Radio(CDataExchange* pDX, int id, int& value);
