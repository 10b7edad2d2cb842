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

bool Begins(const std::string& text, const std::string& start);
// The failure's text from outside (a file's, the strategy's or the host's),
// or "(none)".
std::string FailureText(const CtlResult& result);
std::vector<uint8_t> ReadWhole(const std::string& path);
void WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes);

// A Qualcomm Atheros 7420 adapter with power save off whose flash keeps
// what is written.
class CtlFixture : public ::testing::Test {
protected:
  CtlFixture();

  // Sets the adapter, the host and a data folder of the row's own up afresh,
  // as `knobs` say: 'L' the library does not load, 'H' another program holds
  // the lock; 'N' no adapter, 'B' a Broadcom adapter with power save on, 'E'
  // one whose parameter holds no data; 'O' power save on; 'S' firmware no
  // strategy serves; 'D' the device record cannot be read, 'P' nor the image;
  // 'X' an image that does not open; 'W' the write is refused, 'R' the reset
  // fails, 'K' flash keeps no write, 'U' the read-back cannot fetch the image;
  // 'F' the data folder is a file.
  void Given(const std::string& knobs);
  // Runs "ostrelctl ARGS"; the adapter lock is given back by the end.
  CtlResult Run(const std::vector<std::string>& args);
  // A run's outcome in one line: its exit status; the failure's code and what
  // it left undone, "(nothing written)" or "(nothing saved)"; "write:" and the
  // write's outcome, and what its read-back found wrong; "unkept:" what of the
  // copy and the record it did not keep; "already" when the adapter had the
  // state asked for. E.g. "1 read_back_differs write:read_back_differs/state_differs".
  static std::string Facts(const CtlResult& result);
  // A file in the test's folder, beside (not in) the data folder.
  std::string Path(const std::string& name) const;
  std::string HistoryPath() const;
  std::vector<HistoryRecord> Records() const;
  // How many automatic copies the data folder holds.
  std::size_t Copies() const;
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
  int m_rows = 0;
};
