#pragma once
// ostrelctl run natively: the fake library stands in for the adapter, and the
// fake host, whose data folder is the test's own, for the computer. A run is
// judged by its result's facts and by what reached the library; how each fact
// is said is decided once, in CtlReportTest.

#include "FakeDeviceLibrary.h"
#include "FakeSessionHost.h"
#include "ctl/CtlReport.h"
#include "nvm/NvmImageBuilder.h"
#include "session/History.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// A run's outcome in one line: its exit status; the failure's code and what
// it left undone, "(nothing written)" or "(nothing saved)"; "write:" and the
// write's outcome; "already" when the adapter had the state asked for. E.g.
// "1 reset_failed write:reset_failed".
std::string Facts(const CtlResult& result);
// The failure's text from outside (a file's, the strategy's or the host's),
// or "(none)".
std::string FailureText(const CtlResult& result);
bool Begins(const std::string& text, const std::string& start);
std::vector<uint8_t> ReadWhole(const std::string& path);
void WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes);

// A Qualcomm Atheros 7420 adapter with power save off whose flash keeps
// what is written, or, after UseBroadcom, a Broadcom one.
class CtlFixture : public ::testing::Test {
protected:
  CtlFixture();

  // Runs "ostrelctl ARGS"; the adapter lock is given back by the end.
  CtlResult Run(const std::vector<std::string>& args);
  // A file in the test's folder, beside (not in) the data folder.
  std::string Path(const std::string& name) const;
  // The data folder is `name` in the test's folder; a file there, not a
  // folder, keeps the copies and the history from being saved.
  void DataFolderAt(const std::string& name) { m_host.folder = Path(name); }
  std::string HistoryPath() const;
  std::vector<HistoryRecord> Records() const;
  // The automatic copies, oldest first.
  std::vector<std::string> Copies() const;
  // Whether the library loads, and whether the adapter lock is free.
  void HostRefuses(bool loads, bool lockFree) {
    m_host.loads = loads;
    m_host.free = lockFree;
  }
  // A parameter-41 adapter whose power-save bit is `on`.
  void UseBroadcom(bool on);
  // An image of the adapter's layout that does not open.
  std::vector<uint8_t> Unopenable() const;
  // The address the adapter's image holds.
  std::string Address() const;
  // How many calls to the library begin with `name`.
  std::size_t Calls(const std::string& name) const;

  FakeDeviceLibrary fake;
  NvmImageBuilder builder;
  std::string folder;

private:
  FakeSessionHost m_host{fake};
};
