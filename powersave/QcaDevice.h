#pragma once
// The device-library calls the Qualcomm Atheros strategies make. Each counts
// an unbound entry point as a call that returned 0.

#include <cstdint>

// Has the adapter's NVM image copied into `image`, which must be as large as
// the chip's image buffer: the library is given no capacity.
bool QcaFetchImage(uint8_t* image);
// Hands the first `writeLength` bytes of the image back to the adapter.
bool QcaWriteImage(uint8_t* image, uint16_t writeLength);
bool QcaResetDevice();
