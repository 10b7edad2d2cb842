#pragma once
// The chip families the device library tells apart, the low byte of
// GetPLCType: one type for the strategies, the session and both front ends.

#include <optional>

enum class AdapterFamily { QualcommAtheros, Broadcom };

// The family GetPLCType's result names: low byte 1 Qualcomm Atheros, 2
// Broadcom; anything else, an unbound GetPLCType included, is no adapter.
inline std::optional<AdapterFamily> AdapterFamilyOf(int plcType) {
  switch (plcType & 0xFF) {
  case 1:
    return AdapterFamily::QualcommAtheros;
  case 2:
    return AdapterFamily::Broadcom;
  default:
    return std::nullopt;
  }
}
