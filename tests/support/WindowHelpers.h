#pragma once
// What the in-process dialog tests and the end-to-end tests share when they
// drive windows from outside: waiting for a condition, and reading a window's
// text, also of another process, without hanging on one that does not answer.
#include <windows.h>

#include <string>
#include <vector>

// Polls `condition` until it holds or `timeoutMs` passes.
template <class Condition> bool WaitUntil(Condition condition, DWORD timeoutMs = 30000) {
  const DWORD start = ::GetTickCount();
  while (!condition()) {
    if (::GetTickCount() - start > timeoutMs)
      return false;
    ::Sleep(20);
  }
  return true;
}

// The top-level window of class `windowClass` that process `process` made:
// other programs of the same class may run beside the test.
inline HWND ProcessWindow(const wchar_t* windowClass, DWORD process) {
  HWND window = nullptr;
  while ((window = ::FindWindowExW(nullptr, window, windowClass, nullptr)) != nullptr) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == process)
      return window;
  }
  return nullptr;
}

inline std::string WindowText(HWND window) {
  constexpr DWORD timeoutMs = 30000;
  DWORD_PTR length = 0;
  ::SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, timeoutMs, &length);
  std::vector<char> text(length + 1);
  DWORD_PTR copied = 0;
  ::SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_BLOCK, timeoutMs, &copied);
  return std::string(text.data(), copied);
}
