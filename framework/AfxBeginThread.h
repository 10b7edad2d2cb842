#pragma once
#include <windows.h>

typedef UINT (*AFX_THREADPROC)(LPVOID pParam);

// Starts `proc(pParam)` on a new thread at normal priority with the default
// stack; the thread runs at once and ends by itself. Returns false when the
// thread could not be started.
bool AfxBeginThread(AFX_THREADPROC proc, LPVOID pParam);
