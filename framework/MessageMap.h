#pragma once
#include "framework/CWnd.h"

#include <cstddef>

// A message map is a constant table searched in order, then its base class's
// table. Command entries match the control id and the notification code; every
// other entry matches the message alone.
using AfxMessageHandler = LRESULT (*)(CWnd& wnd, WPARAM wParam, LPARAM lParam);

struct MessageMapEntry {
  UINT message;
  UINT id;
  UINT code;
  AfxMessageHandler handler;
};

struct MessageMap {
  const MessageMap* base;
  const MessageMapEntry* entries;
  std::size_t count;
};

const MessageMapEntry* AfxFindMessageEntry(const MessageMap* map, UINT message, WPARAM wParam);

// Adapts a member handler to the table's one function type; the handler
// shapes are the ones our windows use.
template <auto Handler> struct AfxThunk;

template <class T, void (T::*Handler)()> struct AfxThunk<Handler> {
  static LRESULT Call(CWnd& wnd, WPARAM, LPARAM) {
    (static_cast<T&>(wnd).*Handler)();
    return 0;
  }
};

template <class T, void (T::*Handler)(UINT, LPARAM)> struct AfxThunk<Handler> {
  static LRESULT Call(CWnd& wnd, WPARAM wParam, LPARAM lParam) {
    (static_cast<T&>(wnd).*Handler)(static_cast<UINT>(wParam), lParam);
    return 0;
  }
};

template <class T, void (T::*Handler)(UINT_PTR)> struct AfxThunk<Handler> {
  static LRESULT Call(CWnd& wnd, WPARAM wParam, LPARAM) {
    (static_cast<T&>(wnd).*Handler)(wParam);
    return 0;
  }
};

template <class T, void (T::*Handler)(WINDOWPOS*)> struct AfxThunk<Handler> {
  static LRESULT Call(CWnd& wnd, WPARAM, LPARAM lParam) {
    (static_cast<T&>(wnd).*Handler)(reinterpret_cast<WINDOWPOS*>(lParam));
    return 0;
  }
};

template <class T, BOOL (T::*Handler)()> struct AfxThunk<Handler> {
  static LRESULT Call(CWnd& wnd, WPARAM, LPARAM) { return (static_cast<T&>(wnd).*Handler)(); }
};

template <class T, HCURSOR (T::*Handler)()> struct AfxThunk<Handler> {
  static LRESULT Call(CWnd& wnd, WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>((static_cast<T&>(wnd).*Handler)());
  }
};

template <auto Handler> constexpr AfxMessageHandler AfxHandler = &AfxThunk<Handler>::Call;

template <auto Handler> constexpr MessageMapEntry AfxOnMessage(UINT message) {
  return {message, 0, 0, AfxHandler<Handler>};
}

template <auto Handler> constexpr MessageMapEntry AfxOnCommand(UINT id, UINT code) {
  return {WM_COMMAND, id, code, AfxHandler<Handler>};
}
