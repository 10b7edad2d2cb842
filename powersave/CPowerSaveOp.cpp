#include "powersave/CPowerSaveOp.h"

namespace {
std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}
} // namespace

bool CPowerSaveOp::CheckCopyIdentity(const BackupCopy& copy, std::string_view firmware,
                                     std::string& error) const {
  const PowerSaveVariant& variant = Variant();
  if (copy.kind != variant.kind) {
    error = std::string("the copy holds a ") + BackupKindName(copy.kind) + ", this adapter a " +
            BackupKindName(variant.kind);
    return false;
  }
  const std::string layout = variant.layout != nullptr ? variant.layout : "";
  if (copy.layout != layout) {
    error = "the copy has the layout " + Quoted(copy.layout) + ", this adapter " + Quoted(layout);
    return false;
  }
  if (copy.firmware != firmware) {
    error = "the copy was taken under the firmware " + Quoted(copy.firmware) +
            ", this adapter runs " + Quoted(firmware);
    return false;
  }
  return true;
}
