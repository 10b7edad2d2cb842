#include "framework/DataExchange.h"

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (control.m_hWnd == nullptr)
    control.m_hWnd = pDX->m_pDlgWnd->GetDlgItem(id);
}

void DDX_Radio(CDataExchange* pDX, int id, int& value) {
  HWND button = pDX->m_pDlgWnd->GetDlgItem(id);
  if (button == nullptr)
    return;
  if (pDX->m_bSaveAndValidate)
    value = -1;
  int index = 0;
  do {
    if (::SendMessageA(button, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
      if (pDX->m_bSaveAndValidate) {
        if (::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED)
          value = index;
      } else {
        ::SendMessageA(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
      }
      ++index;
    }
    button = ::GetWindow(button, GW_HWNDNEXT);
  } while (button != nullptr && !(::GetWindowLongA(button, GWL_STYLE) & WS_GROUP));
}
