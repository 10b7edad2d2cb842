#pragma once
// Loading the device library: at most once per process, never unloaded.
// On success the entry points are bound into g_kelvane.

// Windows: loads "Kelvane.dll" from the program's own folder or the system
// folders, never from the current directory. Elsewhere: loads the shared
// library named by `path`. Returns true when the library is loaded (now or by
// an earlier call); a failed load binds nothing and may be tried again.
bool KelvaneLoad(const char* path = nullptr);

// True once a load has succeeded.
bool KelvaneIsLoaded();
