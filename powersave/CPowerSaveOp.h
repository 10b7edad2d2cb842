#pragma once
#include <cstdint>

// The power-save strategy of one adapter kind. GetPowerSave returns 0 (off),
// 1 (on) or 2 (unavailable); callers treat any other value like 2.
// SetPowerSave takes 1 (on) or 0 (off) and refuses anything else with false.
// Calls on one object must not overlap.
class CPowerSaveOp {
public:
  virtual ~CPowerSaveOp() = default;
  virtual uint16_t GetPowerSave() = 0;
  virtual bool SetPowerSave(uint16_t value) = 0;

protected:
  CPowerSaveOp() = default;
  CPowerSaveOp(const CPowerSaveOp&) = delete;
  CPowerSaveOp& operator=(const CPowerSaveOp&) = delete;
};
