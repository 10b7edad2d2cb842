#pragma once
#include <windows.h>

// A non-owning holder of a window handle; each call sends one message or makes
// one window call on it.
class CWnd {
public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  virtual ~CWnd() = default;

  HWND GetSafeHwnd() const { return m_hWnd; }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  void SetWindowText(const char* text) const;
  int GetWindowTextLength() const;
  int GetWindowText(char* text, int size) const;
  BOOL IsIconic() const;
  void GetClientRect(RECT* rect) const;
  HICON SetIcon(HICON icon, BOOL bigIcon) const;
  HMENU GetSystemMenu(BOOL revert) const;
  HWND GetDlgItem(int id) const;
  void CheckDlgButton(int id, UINT check) const;

  HWND m_hWnd = nullptr;

protected:
  // Asks for the system's default handling of the message being dispatched,
  // as if no handler had been mapped.
  void Default() { m_bDefault = true; }

  bool m_bDefault = false;
};
