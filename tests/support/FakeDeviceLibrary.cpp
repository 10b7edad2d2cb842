#include "FakeDeviceLibrary.h"

#include <algorithm>
#include <cstring>

FakeDeviceLibrary* FakeDeviceLibrary::current = nullptr;

namespace {

FakeDeviceLibrary& Fake() {
  return *FakeDeviceLibrary::current;
}

int FakeGetPLCType() {
  Fake().calls.push_back("GetPLCType");
  return Fake().plcType;
}

int FakeGetLocalDevInfo(unsigned char* record) {
  Fake().calls.push_back("GetLocalDevInfo");
  if (Fake().devInfoResult == 0)
    return 0;
  std::memset(record, 0, kDeviceRecordSize);
  const std::string& text = Fake().firmware;
  std::memcpy(record + kDeviceRecordFirmwareOffset, text.data(),
              std::min(text.size(), kDeviceRecordSize - kDeviceRecordFirmwareOffset));
  return Fake().devInfoResult;
}

int FakeGetLocalPIB(unsigned char* image) {
  Fake().calls.push_back("GetLocalPIB");
  if (Fake().getPibResult == 0)
    return 0;
  std::copy(Fake().image.begin(), Fake().image.end(), image);
  return Fake().getPibResult;
}

int FakeWriteLocalPIB(unsigned char* image, uint32_t length, int mode) {
  Fake().calls.push_back("WriteLocalPIB " + std::to_string(length) + " " + std::to_string(mode));
  if (Fake().writePibResult != 0)
    Fake().written.assign(image, image + length);
  return Fake().writePibResult;
}

int FakeResetLocalDev(int mode) {
  Fake().calls.push_back("ResetLocalDev " + std::to_string(mode));
  return Fake().resetResult;
}

int FakeBrcmGetParam(unsigned char* reply, int param) {
  Fake().calls.push_back("BrcmGetParam " + std::to_string(param));
  if (Fake().getParamResult == 0)
    return 0;
  const std::vector<uint8_t>& stored = Fake().param;
  std::copy(stored.begin(), stored.begin() + std::min<std::size_t>(stored.size(), 1500), reply);
  return Fake().getParamResult;
}

int FakeBrcmSetParam(unsigned char* request) {
  Fake().calls.push_back("BrcmSetParam");
  Fake().request.assign(request, request + 1498);
  return Fake().setParamResult;
}

} // namespace

FakeDeviceLibrary::FakeDeviceLibrary() {
  current = this;
  g_kelvane = {};
  g_kelvane.GetPLCType = FakeGetPLCType;
  g_kelvane.GetLocalDevInfo = FakeGetLocalDevInfo;
  g_kelvane.GetLocalPIB = FakeGetLocalPIB;
  g_kelvane.WriteLocalPIB = FakeWriteLocalPIB;
  g_kelvane.ResetLocalDev = FakeResetLocalDev;
  g_kelvane.BrcmGetParam = FakeBrcmGetParam;
  g_kelvane.BrcmSetParam = FakeBrcmSetParam;
}

FakeDeviceLibrary::~FakeDeviceLibrary() {
  g_kelvane = {};
  current = nullptr;
}

void FakeDeviceLibrary::Unbind(const std::string& name) {
  if (name == "GetPLCType")
    g_kelvane.GetPLCType = nullptr;
  else if (name == "GetLocalDevInfo")
    g_kelvane.GetLocalDevInfo = nullptr;
  else if (name == "GetLocalPIB")
    g_kelvane.GetLocalPIB = nullptr;
  else if (name == "WriteLocalPIB")
    g_kelvane.WriteLocalPIB = nullptr;
  else if (name == "ResetLocalDev")
    g_kelvane.ResetLocalDev = nullptr;
  else if (name == "BrcmGetParam")
    g_kelvane.BrcmGetParam = nullptr;
  else if (name == "BrcmSetParam")
    g_kelvane.BrcmSetParam = nullptr;
}

std::string FakeDeviceLibrary::CallsText() const {
  std::string text;
  for (const std::string& call : calls)
    text += (text.empty() ? "" : ", ") + call;
  return text;
}
