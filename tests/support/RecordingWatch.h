#pragma once
// A write watch for strategy tests: keeps what it was shown, and which calls
// the fake library had answered when it was told the write was next.

#include "FakeDeviceLibrary.h"
#include "powersave/CPowerSaveOp.h"

#include <string>

struct RecordingWatch final : PowerSaveWriteWatch {
  PowerSaveCopy& Before() override { return before; }
  void BeforeWrite() override {
    ++told;
    callsBeforeWrite = FakeDeviceLibrary::current->CallsText();
  }

  PowerSaveCopy before;
  int told = 0;
  std::string callsBeforeWrite;
};
