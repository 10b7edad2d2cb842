#pragma once
// The adapter's address, the first bytes of the PIB's device block, as people
// write it: "aa:bb:cc:dd:ee:ff".

#include "nvm/PibLayout.h"

#include <cstdint>
#include <cstdio>

struct AddressText {
  explicit AddressText(const uint8_t* address) {
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", address[0], address[1],
                  address[2], address[3], address[4], address[5]);
  }
  char text[3 * kPibAddressSize];
};
