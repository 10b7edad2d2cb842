#pragma once
// The platform's half of KelvaneLibrary::Load: how a library file is opened
// and its exports looked up. Binding and loading once are shared.

#include "devicelib/KelvaneLibrary.h"

// Opens `path`, or by default the platform's own choice of file; Loaded with
// `module` set, or why not.
KelvaneLoadResult KelvaneOpenLibrary(const char* path, void*& module);
void* KelvaneResolveExport(void* module, const char* name);
