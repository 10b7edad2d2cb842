#pragma once
#include <cstdint>

// The state of one PIB view over an NVM image buffer that the handle does not
// own. A new handle has no PIB bound and every field 0.
struct PibHandle {
  uint8_t* pib = nullptr;
  uint8_t valid = 0;
  uint16_t pibLength = 0;
  // Bytes from the start of the image buffer that go back to the adapter.
  uint16_t writeLength = 0;
  uint32_t pibChecksum = 0;
  uint8_t versionMajor = 0;
  uint8_t versionMinor = 0;
};
