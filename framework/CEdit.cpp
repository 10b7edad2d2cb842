#include "framework/CEdit.h"

int CEdit::GetLineCount() const {
  return static_cast<int>(SendMessage(EM_GETLINECOUNT));
}

void CEdit::LineScroll(int lines, int chars) const {
  SendMessage(EM_LINESCROLL, chars, lines);
}

void CEdit::SetSel(int start, int end, BOOL noScroll) const {
  SendMessage(EM_SETSEL, start, end);
  if (!noScroll)
    SendMessage(EM_SCROLLCARET);
}

void CEdit::Clear() const {
  SendMessage(WM_CLEAR);
}
