#include "tests/app/DialogHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <thread>

INT_PTR RunModal(CDialog& dialog, const char* caption, const std::function<void(HWND)>& script) {
  const DWORD threadId = ::GetCurrentThreadId();
  std::thread driver([&] {
    HWND window = nullptr;
    WaitUntil([&] {
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
