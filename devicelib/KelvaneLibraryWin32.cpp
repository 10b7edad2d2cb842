#include "devicelib/KelvaneLibrary.h"

#include "devicelib/KelvaneEntryPoints.h"

#include <windows.h>

namespace {

HMODULE g_hKelvane = nullptr;

void* ResolveExport(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

} // namespace

bool KelvaneIsLoaded() {
  return g_hKelvane != nullptr;
}

bool KelvaneLoad(const char* path) {
  if (g_hKelvane != nullptr)
    return true;
  // The program's own folder and the system folders only: a Kelvane.dll planted
  // in the current directory must never be loaded.
  HMODULE module =
      LoadLibraryExA(path != nullptr ? path : "Kelvane.dll", nullptr,
                     LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr)
    return false;
  g_hKelvane = module;
  KelvaneBindEntryPoints(g_kelvane, ResolveExport, module);
  return true;
}
