#pragma once
// A fake device library for unit tests: exports its entry points by name and
// is bound into a table of its own as the real library is, so that its calls
// go through KelvaneCalls; it records every call in order, and answers from
// fields the test sets.

#include "devicelib/KelvaneCalls.h"
#include "devicelib/KelvaneEntryPoints.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

class FakeDeviceLibrary {
public:
  FakeDeviceLibrary(); // binds all seven called entry points
  ~FakeDeviceLibrary();
  FakeDeviceLibrary(const FakeDeviceLibrary&) = delete;
  FakeDeviceLibrary& operator=(const FakeDeviceLibrary&) = delete;

  // Leaves one entry point unbound, as a library without that export would.
  void Unbind(const std::string& name);
  // The calls through the bound table, for the code under test.
  DeviceCalls& Device() { return m_device; }

  // Each call appends "Name" or "Name arg arg".
  std::vector<std::string> calls;
  std::string CallsText() const; // calls joined by ", "

  int plcType = 1;
  int devInfoResult = 1;
  std::string firmware; // written at byte 105 of the device record
  int getPibResult = 1;
  std::vector<uint8_t> image; // copied into the caller's buffer by GetLocalPIB
  int writePibResult = 1;
  std::vector<uint8_t> written; // what WriteLocalPIB was given
  // Whether a write WriteLocalPIB takes is laid over `image`, and one
  // BrcmSetParam takes becomes `param`, as flash keeps it; `onWrite`, when
  // set, runs as WriteLocalPIB takes its write.
  bool storesWrites = false;
  std::function<void()> onWrite;
  int resetResult = 1;
  int getParamResult = 1;
  std::vector<uint8_t> param; // copied into the 1500-byte reply by BrcmGetParam
  int setParamResult = 1;
  std::vector<uint8_t> request; // the 1498-byte request BrcmSetParam was given

  // The fake's entry points are plain functions, as a library's exports
  // are: they answer from the one fake that lives.
  static FakeDeviceLibrary* current;

private:
  // What the fake exports by name, bound the way the real library is.
  std::map<std::string, void*> m_exports;
  KelvaneEntryPoints m_entryPoints = {};
  KelvaneCalls m_device{m_entryPoints};
};
