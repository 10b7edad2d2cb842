#include "framework/CWnd.h"

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::SetWindowText(const char* text) const {
  ::SetWindowTextA(m_hWnd, text);
}

int CWnd::GetWindowTextLength() const {
  return ::GetWindowTextLengthA(m_hWnd);
}

int CWnd::GetWindowText(char* text, int size) const {
  return ::GetWindowTextA(m_hWnd, text, size);
}

BOOL CWnd::IsIconic() const {
  return ::IsIconic(m_hWnd);
}

void CWnd::GetClientRect(RECT* rect) const {
  ::GetClientRect(m_hWnd, rect);
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon) const {
  return reinterpret_cast<HICON>(
      SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

HMENU CWnd::GetSystemMenu(BOOL revert) const {
  return ::GetSystemMenu(m_hWnd, revert);
}

HWND CWnd::GetDlgItem(int id) const {
  return ::GetDlgItem(m_hWnd, id);
}

void CWnd::CheckDlgButton(int id, UINT check) const {
  ::CheckDlgButton(m_hWnd, id, check);
}
