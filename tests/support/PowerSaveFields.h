#pragma once
// Checks that two NVM images differ only where a power-save edit may write:
// the PIB's power-save fields and the checksums of the three headers.

#include "nvm/NvmImageBuilder.h"

#include <cstdint>
#include <string>
#include <vector>

// Empty when only those bytes differ; otherwise names the first other offset.
std::string ChangedOutsidePowerSaveFields(const NvmImageBuilder& layoutOf,
                                          const std::vector<uint8_t>& before,
                                          const std::vector<uint8_t>& after);
