#pragma once
#include "framework/CDialog.h"
#include "tests/support/WindowHelpers.h"

#include <functional>
#include <string>

// Runs `dialog` modally on this thread while `script` drives it from a second
// thread, the way another program would: through messages to its windows.
// The script gets the dialog's window once it is shown; the dialog must be
// ended by the script. Returns DoModal's result.
INT_PTR RunModal(CDialog& dialog, const char* caption, const std::function<void(HWND)>& script);
