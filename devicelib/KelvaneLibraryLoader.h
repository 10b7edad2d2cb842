#pragma once
// The loader's one way into the system, for tests to replace: they make it
// refuse the restricted search flags as an older Windows does, and see what
// the loader asks for next.

#include <windows.h>

typedef HMODULE(WINAPI* KelvaneLoadLibraryExW)(LPCWSTR name, HANDLE file, DWORD flags);

// ::LoadLibraryExW unless a test has replaced it.
extern KelvaneLoadLibraryExW g_kelvaneLoadLibraryExW;
