#include "FakeDeviceLibrary.h"

#include "devicelib/BrcmParam.h"
#include "devicelib/DeviceRecord.h"

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
  // Raw bytes: a text that fills the record to its last byte has no NUL.
  std::memset(record, 0, DeviceRecord::kSize);
  const std::string& text = Fake().firmware;
  std::memcpy(record + DeviceRecord::kFirmwareOffset, text.data(),
              std::min(text.size(), DeviceRecord::kSize - DeviceRecord::kFirmwareOffset));
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
  if (Fake().onWrite)
    Fake().onWrite();
  if (Fake().writePibResult != 0)
    Fake().written.assign(image, image + length);
  if (Fake().writePibResult != 0 && Fake().storesWrites)
    std::copy(image, image + std::min<std::size_t>(length, Fake().image.size()),
              Fake().image.begin());
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
  if (Fake().setParamResult != 0 && Fake().storesWrites) {
    BrcmParamRequest sent;
    BrcmParamReply kept = {};
    std::copy(request, request + BrcmParamRequest::kSize, sent.bytes);
    if (BrcmCopyParam(sent, kept))
      Fake().param.assign(kept.bytes, kept.bytes + BrcmParamReply::kSize);
  }
  return Fake().setParamResult;
}

template <typename Function> void* Export(Function function) {
  void* address = nullptr;
  std::memcpy(&address, &function, sizeof address);
  return address;
}

void* Resolve(void* context, const char* name) {
  const auto& exports = *static_cast<std::map<std::string, void*>*>(context);
  const auto found = exports.find(name);
  return found != exports.end() ? found->second : nullptr;
}

} // namespace

FakeDeviceLibrary::FakeDeviceLibrary()
    : m_exports{{"GetPLCType", Export(FakeGetPLCType)},
                {"GetLocalDevInfo", Export(FakeGetLocalDevInfo)},
                {"GetLocalPIB", Export(FakeGetLocalPIB)},
                {"WriteLocalPIB", Export(FakeWriteLocalPIB)},
                {"ResetLocalDev", Export(FakeResetLocalDev)},
                {"BrcmGetParam", Export(FakeBrcmGetParam)},
                {"BrcmSetParam", Export(FakeBrcmSetParam)}} {
  current = this;
  KelvaneBindEntryPoints(m_entryPoints, Resolve, &m_exports);
}

FakeDeviceLibrary::~FakeDeviceLibrary() {
  current = nullptr;
}

void FakeDeviceLibrary::Unbind(const std::string& name) {
  m_exports.erase(name);
  KelvaneBindEntryPoints(m_entryPoints, Resolve, &m_exports);
}

std::string FakeDeviceLibrary::CallsText() const {
  std::string text;
  for (const std::string& call : calls)
    text += (text.empty() ? "" : ", ") + call;
  return text;
}
