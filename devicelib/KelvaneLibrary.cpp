#include "devicelib/KelvaneLibrary.h"

#include "devicelib/KelvaneEntryPoints.h"
#include "devicelib/KelvaneLibraryOpen.h"

namespace {
void* g_module = nullptr;
KelvaneLoadResult g_loaded = KelvaneLoadResult::NotFound;
} // namespace

KelvaneLoadResult KelvaneLoad(const char* path) {
  if (g_module != nullptr)
    return g_loaded;
  void* module = nullptr;
  const KelvaneLoadResult opened = KelvaneOpenLibrary(path, module);
  if (opened != KelvaneLoadResult::Loaded)
    return opened;
  g_module = module;
  KelvaneBindEntryPoints(g_kelvane, KelvaneResolveExport, module);
  g_loaded =
      g_kelvane.GetPLCType != nullptr ? KelvaneLoadResult::Loaded : KelvaneLoadResult::NoGetPLCType;
  return g_loaded;
}

const char* KelvaneLoadResultText(KelvaneLoadResult result) {
  switch (result) {
  case KelvaneLoadResult::Loaded:
    return "Kelvane.dll is loaded";
  case KelvaneLoadResult::NotFound:
    return "cannot load Kelvane.dll from the program's folder or the system folder";
  case KelvaneLoadResult::NotWin32Library:
    return "Kelvane.dll is not a 32-bit Windows library";
  case KelvaneLoadResult::NoGetPLCType:
    return "Kelvane.dll has no GetPLCType entry point";
  case KelvaneLoadResult::NeedsMissingLibrary:
    return "Kelvane.dll was found, but a library it needs could not be loaded";
  }
  return "Kelvane.dll cannot be used";
}
