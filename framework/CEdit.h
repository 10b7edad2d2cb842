#pragma once
#include "framework/CWnd.h"

// An edit control, attached by data exchange.
class CEdit : public CWnd {
public:
  int GetLineCount() const;
  void LineScroll(int lines, int chars = 0) const;
  // Selects from `start` to `end` (-1: the end of the text) and, unless
  // `noScroll`, scrolls the caret into view.
  void SetSel(int start, int end, BOOL noScroll = FALSE) const;
  // Deletes the selection.
  void Clear() const;
};
