#pragma once
// ostrelctl run natively: the fake library stands in for the adapter, and the
// fake host, whose data folder is the test's own, for the computer. A run is
// read as a person and a script read it: its exit status, its lines on
// standard output and standard error, and its JSON.

#include "FakeDeviceLibrary.h"
#include "FakeSessionHost.h"
#include "nvm/NvmImageBuilder.h"
#include "session/History.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct CtlOutput {
  int status = -1;
  std::vector<std::string> out; // standard output, without --json
  std::vector<std::string> err; // warnings, the failure and the usage
  std::string json;             // the object --json prints
};

// What a run is to show. Each line on standard error begins with its entry,
// since some end in the system's own words; a JSON member is given as
// written, "(none)" for one the object must not have.
struct CtlExpect {
  int status;
  std::vector<std::string> out;
  std::vector<std::string> err;
  std::vector<std::pair<std::string, std::string>> json;
};
void ExpectRun(const CtlOutput& run, const CtlExpect& expect, const std::string& row);

// The member `key` of a JSON object as written ("\"on\"", "true", "[...]"),
// wherever it stands among the others; "(none)" when the object has none.
std::string JsonMember(const std::string& json, const std::string& key);
// `text` as a JSON string, quotes and all.
std::string JsonString(const std::string& text);

// A Qualcomm Atheros 7420 adapter with power save off whose flash keeps
// what is written, or, after UseBroadcom, a Broadcom one.
class CtlFixture : public ::testing::Test {
protected:
  CtlFixture();
  ~CtlFixture() override;

  // Runs "ostrelctl ARGS"; the adapter lock is given back by the end.
  CtlOutput Run(const std::vector<std::string>& args);
  // A file in the test's folder, beside (not in) the data folder.
  std::string Path(const std::string& name) const;
  // The data folder is `name` in the test's folder; a file there, not a
  // folder, keeps the copies and the history from being saved.
  void DataFolderAt(const std::string& name);
  std::string HistoryPath() const;
  std::vector<HistoryRecord> Records() const;
  // Appends a line to the history file as it is.
  void AppendHistory(const std::string& line) const;
  // The automatic copies, oldest first.
  std::vector<std::string> Copies() const;
  // The library does not load, or another program holds the adapter lock.
  void HostRefuses(bool loads, bool lockFree);
  // A parameter-41 adapter whose power-save bit is `on`.
  void UseBroadcom(bool on);
  // An image of the adapter's layout that does not open.
  std::vector<uint8_t> Unopenable() const;

  // How many calls to the library begin with `name`.
  std::size_t Calls(const std::string& name) const;

  FakeDeviceLibrary fake;
  NvmImageBuilder builder;
  std::string folder;

private:
  FakeSessionHost m_host{fake};
};

std::vector<uint8_t> ReadWhole(const std::string& path);
void WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes);
