#pragma once
#include "framework/CWnd.h"
#include "framework/DataExchange.h"
#include "framework/MessageMap.h"

// A modal dialog built from a dialog template in the program's resources.
// Messages reach the object through its message map; a message without an
// entry gets the system's default dialog handling.
class CDialog : public CWnd {
public:
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr)
      : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

  // Runs the dialog until EndDialog; returns its result, or -1 when the
  // dialog could not be created. Its owner, the parent given or else the
  // application's main window, is disabled meanwhile.
  INT_PTR DoModal();
  void EndDialog(int result) const;
  // Runs the data exchange: save direction when `bSaveAndValidate`.
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
  // Runs the data exchange in the load direction; returning TRUE lets the
  // system focus the first control with a tab stop.
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CDataExchange* pDX);
  virtual const MessageMap* GetMessageMap() const { return &messageMap; }
  void OnOK();
  virtual void OnCancel();
  void OnPaint() { Default(); }
  void OnSysCommand(UINT, LPARAM) { Default(); }

  static const MessageMapEntry messageEntries[];
  static const MessageMap messageMap;

private:
  HWND Owner() const;
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;
};
