#include "devicelib/KelvaneLibrary.h"

#include "devicelib/KelvaneEntryPoints.h"

#include <dlfcn.h>

namespace {

void* g_kelvaneModule = nullptr;

void* ResolveExport(void* module, const char* name) {
  return dlsym(module, name);
}

} // namespace

bool KelvaneIsLoaded() {
  return g_kelvaneModule != nullptr;
}

bool KelvaneLoad(const char* path) {
  if (g_kelvaneModule != nullptr)
    return true;
  if (path == nullptr)
    return false;
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr)
    return false;
  g_kelvaneModule = module;
  KelvaneBindEntryPoints(g_kelvane, ResolveExport, module);
  return true;
}
