#include "devicelib/KelvaneLibrary.h"

#include "devicelib/KelvaneEntryPoints.h"
#include "devicelib/KelvaneLibraryOpen.h"

#include "bytes/ByteReader.h"

KelvaneLoadResult KelvaneLibrary::Load(const char* path) {
  if (m_module != nullptr)
    return m_loaded;
  void* module = nullptr;
  const KelvaneLoadResult opened = KelvaneOpenLibrary(path, module);
  if (opened != KelvaneLoadResult::Loaded)
    return opened;
  m_module = module;
  KelvaneBindEntryPoints(m_entryPoints, KelvaneResolveExport, module);
  m_loaded = m_entryPoints.GetPLCType != nullptr ? KelvaneLoadResult::Loaded
                                                 : KelvaneLoadResult::NoGetPLCType;
  return m_loaded;
}

bool KelvaneIsWholeX86Library(const uint8_t* head, std::size_t size, uint64_t fileSize) {
  constexpr uint16_t kDosMagic = 0x5A4D;        // "MZ"
  constexpr uint32_t kPeSignature = 0x00004550; // "PE\0\0"
  constexpr uint16_t kMachineI386 = 0x014C;
  constexpr uint16_t kLibrary = 0x2000; // IMAGE_FILE_DLL
  constexpr uint16_t kPe32 = 0x010B;
  constexpr std::size_t kSectionEntry = 40;
  ByteReader bytes(head, size);
  const std::size_t pe = bytes.Le32(0x3C);
  if (bytes.Le16(0) != kDosMagic || bytes.Failed() || !FitsWithin(size, pe, 24) ||
      bytes.Le32(pe) != kPeSignature || bytes.Le16(pe + 4) != kMachineI386 ||
      (bytes.Le16(pe + 22) & kLibrary) == 0 || bytes.Le16(pe + 24) != kPe32)
    return false;
  const std::size_t sections = bytes.Le16(pe + 6);
  const std::size_t table = pe + 24 + bytes.Le16(pe + 20);
  for (std::size_t i = 0; i < sections && !bytes.Failed(); ++i) {
    const std::size_t entry = table + i * kSectionEntry;
    const uint64_t end = uint64_t{bytes.Le32(entry + 20)} + bytes.Le32(entry + 16);
    if (end > fileSize)
      return false;
  }
  return !bytes.Failed();
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
  case KelvaneLoadResult::NeedsNonX86Library:
    return "Kelvane.dll was found, but a library it needs is not a 32-bit x86 library, or one of "
           "them is damaged";
  }
  return "Kelvane.dll cannot be used";
}
