#pragma once
// A write watch for strategy tests: keeps what it was shown and what was to be
// sent, and which calls the fake library had answered when it was told the
// write was next.

#include "FakeDeviceLibrary.h"
#include "powersave/CPowerSaveOp.h"

#include <string>
#include <vector>

struct RecordingWatch final : PowerSaveWriteWatch {
  PowerSaveCopy& Before() override { return before; }
  void BeforeWrite(const uint8_t* bytes, uint32_t size) override {
    ++told;
    sent.assign(bytes, bytes + size);
    callsBeforeWrite = FakeDeviceLibrary::current->CallsText();
  }

  PowerSaveCopy before;
  std::vector<uint8_t> sent;
  int told = 0;
  std::string callsBeforeWrite;
};
