#pragma once
#include "framework/CDialog.h"
#include "tests/app/FrameworkTest.h"

// A dialog of the framework tests' own template: the radio group A..C
// exchanged with m_radio, and a message map over CDialog's that counts what
// reaches its handlers.
class TestDialog : public CDialog {
public:
  TestDialog() : CDialog(IDD_FRAMEWORK_TEST) {}

  static constexpr UINT WM_TEST_ANSWER = WM_APP + 7;
  static HCURSOR Answer() { return reinterpret_cast<HCURSOR>(static_cast<INT_PTR>(0x1234)); }

  int m_radio = -1;
  int m_goClicks = 0;
  int m_okClicks = 0;
  bool m_replaceOk = false;

protected:
  const MessageMap* GetMessageMap() const override { return &messageMap; }
  void DoDataExchange(CDataExchange* pDX) override { DDX_Radio(pDX, IDC_TEST_A, m_radio); }

  static const MessageMapEntry messageEntries[];
  static const MessageMap messageMap;

private:
  void OnGo() { ++m_goClicks; }
  void OnOkClicked() {
    ++m_okClicks;
    if (!m_replaceOk)
      CDialog::OnOK();
  }
  HCURSOR OnAnswer() { return Answer(); }
};
