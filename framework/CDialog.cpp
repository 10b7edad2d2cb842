#include "framework/CDialog.h"

#include "framework/CWinApp.h"

#include <iterator>

namespace {
// Messages whose dialog-procedure result is the answer itself rather than a
// handled flag with the answer in DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) {
  switch (message) {
  case WM_QUERYDRAGICON:
  case WM_CTLCOLORMSGBOX:
  case WM_CTLCOLOREDIT:
  case WM_CTLCOLORLISTBOX:
  case WM_CTLCOLORBTN:
  case WM_CTLCOLORDLG:
  case WM_CTLCOLORSCROLLBAR:
  case WM_CTLCOLORSTATIC:
  case WM_COMPAREITEM:
  case WM_VKEYTOITEM:
  case WM_CHARTOITEM:
    return true;
  default:
    return false;
  }
}
} // namespace

const MessageMapEntry CDialog::messageEntries[] = {
    AfxOnCommand<&CDialog::OnOK>(IDOK, BN_CLICKED),
    AfxOnCommand<&CDialog::OnCancel>(IDCANCEL, BN_CLICKED),
};
const MessageMap CDialog::messageMap = {nullptr, messageEntries, std::size(messageEntries)};

const MessageMapEntry* AfxFindMessageEntry(const MessageMap* map, UINT message, WPARAM wParam) {
  for (; map != nullptr; map = map->base) {
    for (std::size_t i = 0; i < map->count; ++i) {
      const MessageMapEntry& entry = map->entries[i];
      if (entry.message != message)
        continue;
      if (message != WM_COMMAND || (entry.id == LOWORD(wParam) && entry.code == HIWORD(wParam)))
        return &entry;
    }
  }
  return nullptr;
}

INT_PTR CDialog::DoModal() {
  return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate), Owner(),
                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

HWND CDialog::Owner() const {
  if (m_pParentWnd != nullptr)
    return m_pParentWnd->m_hWnd;
  // With no parent given, the application's main window owns the dialog and
  // stays disabled while it runs, so nothing behind the dialog can be used.
  const CWinApp* app = AfxGetApp();
  if (app == nullptr || app->m_pMainWnd == nullptr || app->m_pMainWnd == this)
    return nullptr;
  return app->m_pMainWnd->m_hWnd;
}

void CDialog::EndDialog(int result) const {
  ::EndDialog(m_hWnd, result);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  return TRUE;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
  UpdateData(TRUE);
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
    dialog->m_hWnd = hWnd;
    return dialog->OnInitDialog();
  }
  auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
  if (dialog == nullptr)
    return FALSE;
  INT_PTR result = dialog->Dispatch(message, wParam, lParam);
  if (message == WM_NCDESTROY)
    dialog->m_hWnd = nullptr;
  return result;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  const MessageMapEntry* entry = AfxFindMessageEntry(GetMessageMap(), message, wParam);
  if (entry == nullptr)
    return FALSE;
  // A handler may send messages that are dispatched before it returns.
  const bool outerDefault = m_bDefault;
  m_bDefault = false;
  LRESULT answer = entry->handler(*this, wParam, lParam);
  const bool handled = !m_bDefault;
  m_bDefault = outerDefault;
  if (!handled)
    return FALSE;
  if (AnswersDirectly(message))
    return answer;
  ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, answer);
  return TRUE;
}
