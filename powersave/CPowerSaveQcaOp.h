#pragma once
#include "devicelib/DeviceCalls.h"
#include "nvm/NvmHeader.h"
#include "nvm/PibHandle.h"
#include "powersave/CPowerSaveOp.h"

#include <cstdint>

static_assert(kNvmImageBufferSize == kNvmMaxImageSize,
              "the library's image buffer holds the largest image");

// What the Qualcomm Atheros variants share: each operation fetches the
// adapter's NVM image afresh, checks it through the variant's PIB view, edits
// it in place and hands it back by the variant's write-back rule.
class CPowerSaveQcaOp : public CPowerSaveOp {
public:
  ~CPowerSaveQcaOp() override;
  uint16_t GetPowerSave() override;
  bool SetPowerSave(uint16_t value) override;
  const PowerSaveVariant& Variant() const override { return m_variant; }
  bool SaveCopy(PowerSaveCopy& copy, PowerSaveError& error) override;
  bool RestoreCopy(const PowerSaveCopy& copy, std::string_view firmware, bool force,
                   uint32_t& written, PowerSaveError& error) override;
  bool ResetFailed() const override { return m_resetFailed; }
  uint16_t CopyState(const PowerSaveCopy& copy) const override;

protected:
  CPowerSaveQcaOp(DeviceCalls& device, const PowerSaveVariant& variant)
      : CPowerSaveOp(device), m_variant(variant) {}

private:
  uint32_t Capacity() const { return m_variant.view->Layout().imageCapacity; }
  bool WriteSideBound() const;
  bool WriteBack(uint16_t writeLength);
  // The copy of m_image, as fetched; `opened`: m_pibHandle holds it open.
  void FillCopy(PowerSaveCopy& copy, bool opened) const;
  // Shows the watch m_image as the adapter handed it over.
  void KeepBefore();

  const PowerSaveVariant& m_variant;
  // The library is given no capacity, so the buffer takes the largest image
  // it may hand over, whatever the layout: a strategy kept from an earlier
  // detection may meet another chip's image.
  uint8_t m_image[kNvmImageBufferSize] = {};
  PibHandle m_pibHandle;
  // Set by the last SetPowerSave or RestoreCopy: the write went through and
  // only the reset its variant requires failed.
  bool m_resetFailed = false;
};
