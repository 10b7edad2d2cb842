#include "devicelib/KelvaneEntryPoints.h"

#include <cstring>

namespace {

// Stores a resolved address in its typed field; the copy keeps the field free
// of a cast between data and code pointers. 1 when the name resolved.
template <typename Slot> std::size_t Bind(Slot& slot, void* address) {
  static_assert(sizeof slot == sizeof address, "code and data pointers share a size");
  std::memcpy(&slot, &address, sizeof slot);
  return address != nullptr ? 1 : 0;
}

} // namespace

std::size_t KelvaneBindEntryPoints(KelvaneEntryPoints& table, KelvaneResolver resolve,
                                   void* context) {
  std::size_t bound = 0;
#define KELVANE_BIND(type, name) bound += Bind(table.name, resolve(context, #name));
  KELVANE_ENTRY_POINTS(KELVANE_BIND)
#undef KELVANE_BIND
  return bound;
}
