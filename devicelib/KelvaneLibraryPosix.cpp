#include "devicelib/KelvaneLibrary.h"

#include "devicelib/KelvaneEntryPoints.h"

#include <dlfcn.h>

namespace {

void* g_module = nullptr;
KelvaneLoadResult g_loaded = KelvaneLoadResult::NotFound;

void* ResolveExport(void* module, const char* name) {
  return dlsym(module, name);
}

} // namespace

KelvaneLoadResult KelvaneLoad(const char* path) {
  if (g_module != nullptr)
    return g_loaded;
  if (path == nullptr)
    return KelvaneLoadResult::NotFound;
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr)
    return KelvaneLoadResult::NotFound;
  g_module = module;
  KelvaneBindEntryPoints(g_kelvane, ResolveExport, module);
  g_loaded =
      g_kelvane.GetPLCType != nullptr ? KelvaneLoadResult::Loaded : KelvaneLoadResult::NoGetPLCType;
  return g_loaded;
}
