#pragma once
#include "devicelib/DeviceCalls.h"
#include "powersave/PowerSaveCopy.h"
#include "powersave/PowerSaveVariant.h"

#include <cstdint>
#include <string_view>

// A refusal in words, naming what differed and both values.
struct PowerSaveError {
  char text[512] = {};
};

// Sees what a write starts from and what it sends: the strategy fills
// Before() with the image or parameter as it fetched it, before its edit, and
// calls BeforeWrite() once its checks have passed and just before it writes.
// `sent` is what the adapter should hold after the write, in the form of
// Before(): the image buffer as handed to the library, `size` being the
// length written, or the parameter's 1500-byte reply. It lives only for the
// call. No library call is made for the watch, and whatever it does, the
// write follows.
class PowerSaveWriteWatch {
public:
  virtual PowerSaveCopy& Before() = 0;
  virtual void BeforeWrite(const uint8_t* sent, uint32_t size) = 0;

protected:
  ~PowerSaveWriteWatch() = default;
};

// The power-save strategy of one adapter kind. GetPowerSave returns 0 (off),
// 1 (on) or 2 (unavailable); callers treat any other value like 2.
// SetPowerSave takes 1 (on) or 0 (off) and refuses anything else with false.
// Calls on one object must not overlap.
class CPowerSaveOp {
public:
  virtual ~CPowerSaveOp() = default;
  virtual uint16_t GetPowerSave() = 0;
  virtual bool SetPowerSave(uint16_t value) = 0;

  // What this strategy is: its variant's name, layout, view and copy size.
  virtual const PowerSaveVariant& Variant() const = 0;
  // Fetches the adapter's copy and checks it: an image must open with the
  // layout, a parameter must hold data that a write can carry, as restore
  // would. On success `copy` holds the kind, the layout, the address and the
  // bytes; the caller adds the firmware text. False with `error` saying why;
  // then `copy.size` is 0 when nothing was fetched, and otherwise `copy` holds
  // the kind, the layout and the bytes as fetched with the address zeroed, so
  // that what the adapter holds can still be told apart.
  virtual bool SaveCopy(PowerSaveCopy& copy, PowerSaveError& error) = 0;
  // Checks `copy` against the adapter as it is now and writes it by this
  // variant's rules; `firmware` is the adapter's present firmware text. With
  // `force`, an image whose present address cannot be read, or a parameter
  // whose data differ beyond the switch, is written all the same. On success
  // the adapter should now hand back the copy's first `written` bytes. False
  // with `error` naming what differed, with both values; nothing was written
  // unless the error says the adapter refused or took the image.
  virtual bool RestoreCopy(const PowerSaveCopy& copy, std::string_view firmware, bool force,
                           uint32_t& written, PowerSaveError& error) = 0;
  // After a SetPowerSave or RestoreCopy that returned false: true when the adapter took the write
  // and only the reset after it failed, so it holds the new image from its next restart.
  virtual bool ResetFailed() const { return false; }
  // The state a copy of this variant holds, as GetPowerSave would read it
  // from an adapter holding it; 2 when it holds none or is of another variant.
  virtual uint16_t CopyState(const PowerSaveCopy& copy) const = 0;
  // Every later SetPowerSave and RestoreCopy shows `watch` what it starts
  // from; null for none.
  void Watch(PowerSaveWriteWatch* watch) { m_watch = watch; }

protected:
  explicit CPowerSaveOp(DeviceCalls& device) : m_device(device) {}
  CPowerSaveOp(const CPowerSaveOp&) = delete;
  CPowerSaveOp& operator=(const CPowerSaveOp&) = delete;

  // Fills `error` as printf would, cut to fit; returns false.
  static bool Refuse(PowerSaveError& error, const char* format, ...)
      __attribute__((format(printf, 2, 3)));

  // The checks every variant makes first: the copy's kind, layout and
  // firmware text are this adapter's.
  bool CheckCopyIdentity(const PowerSaveCopy& copy, std::string_view firmware,
                         PowerSaveError& error) const;

  // The adapter's library, as the selection was handed it.
  DeviceCalls& m_device;
  PowerSaveWriteWatch* m_watch = nullptr;
};
