#include "powersave/CPowerSaveOp.h"

#include <cstdarg>
#include <cstdio>

bool CPowerSaveOp::Refuse(PowerSaveError& error, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(error.text, sizeof error.text, format, args);
  va_end(args);
  return false;
}

bool CPowerSaveOp::CheckCopyIdentity(const PowerSaveCopy& copy, std::string_view firmware,
                                     PowerSaveError& error) const {
  const PowerSaveVariant& variant = Variant();
  if (copy.kind != variant.kind)
    return Refuse(error, "the copy holds a %s, this adapter a %s", BackupKindName(copy.kind),
                  BackupKindName(variant.kind));
  const std::string_view layout = variant.Layout();
  if (copy.Layout() != layout)
    return Refuse(error, "the copy has the layout \"%.*s\", this adapter \"%.*s\"",
                  static_cast<int>(copy.Layout().size()), copy.Layout().data(),
                  static_cast<int>(layout.size()), layout.data());
  if (copy.Firmware() != firmware)
    return Refuse(error,
                  "the copy was taken under the firmware \"%.*s\", this adapter runs \"%.*s\"",
                  static_cast<int>(copy.Firmware().size()), copy.Firmware().data(),
                  static_cast<int>(firmware.size()), firmware.data());
  return true;
}
