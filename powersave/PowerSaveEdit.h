#pragma once
// The power-save edit of an NVM image, one piece of code for the strategies
// (on the image fetched from the adapter) and for tools (on an image file).

#include "nvm/PibHandle.h"
#include "nvm/PibView.h"

#include <cstdint>

// The state an image holds: 0 off, 1 on (any non-zero mode word), 2 when the
// view does not accept the image.
uint16_t PowerSaveRead(const CPibView& view, PibHandle& handle, uint8_t* image, uint32_t capacity);

// Turns power save on (1) or off (0) in the image: opens it, edits the fields,
// renews every checksum, and checks that the result opens again through the
// same view. False at the first failure; the image may then be partly edited
// and must not be written anywhere. On success the handle holds the length to
// write back.
bool PowerSaveEdit7420(const CPib7420View& view, PibHandle& handle, uint8_t* image,
                       uint32_t capacity, uint16_t value);
bool PowerSaveEdit7500(PibHandle& handle, uint8_t* image, uint32_t capacity, uint16_t value);

// The edit of one 7420 layout, in the form the variant table holds.
template <const CPib7420View& view>
bool PowerSaveEdit7420For(PibHandle& handle, uint8_t* image, uint32_t capacity, uint16_t value) {
  return PowerSaveEdit7420(view, handle, image, capacity, value);
}
