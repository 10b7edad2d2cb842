#include "tests/app/DialogHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <string>
#include <thread>
#include <vector>

bool WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 1000; ++i) {
    if (condition())
      return true;
    ::Sleep(10);
  }
  return false;
}

std::string TextOf(HWND window) {
  std::vector<char> text(::GetWindowTextLengthA(window) + 1);
  const int got = ::GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  return std::string(text.data(), got);
}

INT_PTR RunModal(CDialog& dialog, const char* caption, const std::function<void(HWND)>& script) {
  const DWORD threadId = ::GetCurrentThreadId();
  std::thread driver([&] {
    HWND window = nullptr;
    WaitFor([&] {
      window = ::FindWindowA("#32770", caption);
      return window != nullptr && ::IsWindowVisible(window) &&
             ::GetWindowThreadProcessId(window, nullptr) == threadId;
    });
    if (window == nullptr) {
      // Nothing can end the dialog now; fail loudly rather than hang quietly.
      ADD_FAILURE() << "no dialog \"" << caption << "\" appeared";
      std::abort();
    }
    script(window);
  });
  const INT_PTR result = dialog.DoModal();
  driver.join();
  return result;
}
