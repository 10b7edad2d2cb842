#pragma once
// The words a history record is made of, each an enum with one table of
// names: the history, both front ends and JSON spell them from here alone.

#include "devicelib/AdapterFamily.h"
#include "session/PowerSaveState.h"

#include <cstddef>
#include <iterator>
#include <string_view>

enum class HistoryProgram { Dialog, Ctl };
enum class HistoryAction { On, Off, Restore, Undo };
enum class HistoryResult {
  Done,
  Failed,
  Unverified, // written, not read back
  Started,    // the write was under way, and no later line finished it
};

// The names of an enum's values, in the order of its values.
template <typename Enum> struct EnumNames;
template <> struct EnumNames<HistoryProgram> {
  static constexpr const char* kNames[] = {"Ostrel.exe", "ostrelctl"};
};
template <> struct EnumNames<HistoryAction> {
  static constexpr const char* kNames[] = {"on", "off", "restore", "undo"};
};
template <> struct EnumNames<AdapterFamily> {
  static constexpr const char* kNames[] = {"qualcomm-atheros", "broadcom"};
};
template <> struct EnumNames<PowerSaveState> {
  static constexpr const char* kNames[] = {"off", "on", "unavailable"};
};
template <> struct EnumNames<HistoryResult> {
  static constexpr const char* kNames[] = {"done", "failed", "unverified", "started"};
};

template <typename Enum> const char* NameOf(Enum value) {
  return EnumNames<Enum>::kNames[static_cast<std::size_t>(value)];
}

// False, leaving `value` alone, for a text that names none of them.
template <typename Enum> bool ParseName(std::string_view text, Enum& value) {
  for (std::size_t i = 0; i < std::size(EnumNames<Enum>::kNames); ++i) {
    if (text == EnumNames<Enum>::kNames[i]) {
      value = static_cast<Enum>(i);
      return true;
    }
  }
  return false;
}

// A write that reached the adapter: read back as written, or not read back.
inline bool ResultTookEffect(HistoryResult result) {
  return result == HistoryResult::Done || result == HistoryResult::Unverified;
}
