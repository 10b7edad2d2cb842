#pragma once
// Loading the device library, never unloaded: the loaded library owns the
// table of its entry points and the calls through them.

#include "devicelib/KelvaneCalls.h"
#include "devicelib/KelvaneEntryPoints.h"

#include <cstddef>
#include <cstdint>

// NeedsMissingLibrary: the file is there, but a library it imports, or an
// entry point that one lacks, is not. NeedsNonX86Library: the file is a whole
// 32-bit x86 library, yet loading it found no 32-bit library where it
// expected one, so one of its imports is of another build or damaged.
enum class KelvaneLoadResult {
  Loaded,
  NotFound,
  NotWin32Library,
  NoGetPLCType,
  NeedsMissingLibrary,
  NeedsNonX86Library
};

class KelvaneLibrary {
public:
  KelvaneLibrary() = default;
  KelvaneLibrary(const KelvaneLibrary&) = delete;
  KelvaneLibrary& operator=(const KelvaneLibrary&) = delete;

  // Loads `path` (UTF-8), or by default "Kelvane.dll". Windows takes the library
  // from the program's own folder or else the system folder, never the current
  // directory, and its imports from beside it, the packet-capture driver's
  // folder (system folder\Npcap) or the system folder; where that restricted
  // search is not available it loads the library by its full path in the
  // program's folder. Elsewhere `path` names the shared library and there is no
  // default.
  // A library without GetPLCType stays loaded and bound: that counts as a load.
  // Later calls return the first load's result without loading again; a failed
  // load binds nothing and may be tried again.
  KelvaneLoadResult Load(const char* path = nullptr);

  // What the load bound; all null before it.
  const KelvaneEntryPoints& EntryPoints() const { return m_entryPoints; }
  // The calls through them; before a load each returns 0.
  DeviceCalls& Calls() { return m_calls; }

private:
  void* m_module = nullptr;
  KelvaneLoadResult m_loaded = KelvaneLoadResult::NotFound;
  KelvaneEntryPoints m_entryPoints = {};
  KelvaneCalls m_calls{m_entryPoints};
};

// Whether the first `size` bytes of a file of `fileSize` bytes begin a whole
// 32-bit x86 library: a PE32 image for machine I386 marked as a library, with
// every section's data inside the file.
bool KelvaneIsWholeX86Library(const uint8_t* head, std::size_t size, uint64_t fileSize);

// One line for a person, saying what went wrong.
const char* KelvaneLoadResultText(KelvaneLoadResult result);
