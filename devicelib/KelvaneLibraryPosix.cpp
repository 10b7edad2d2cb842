#include "devicelib/KelvaneLibraryOpen.h"

#include <dlfcn.h>

void* KelvaneResolveExport(void* module, const char* name) {
  return dlsym(module, name);
}

// Natively the library is one of ours, named by the caller.
KelvaneLoadResult KelvaneOpenLibrary(const char* path, void*& module) {
  module = path != nullptr ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;
  return module != nullptr ? KelvaneLoadResult::Loaded : KelvaneLoadResult::NotFound;
}
