#include "CtlFixture.h"

#include "ctl/CtlCommands.h"
#include "nvm/PibAddress.h"
#include "tests/session/SessionTestFiles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

std::string Facts(const CtlResult& result) {
  static const char* const kOutcomes[] = {
      "refused",  "adapter_refused",   "reset_failed",        "written",
      "verified", "read_back_differs", "read_back_unreadable"};
  std::string facts = std::to_string(result.status);
  if (const auto& failure = result.failure) {
    facts += std::string(" ") + NameOf(failure->code);
    if (failure->left != CtlLeft::Unsaid)
      facts += failure->left == CtlLeft::NothingWritten ? " (nothing written)" : " (nothing saved)";
  }
  if (result.write)
    facts += std::string(" write:") + kOutcomes[static_cast<int>(result.write->outcome)];
  return facts + (result.already ? " already" : "");
}

std::string FailureText(const CtlResult& result) {
  return result.failure ? result.failure->text : "(none)";
}

bool Begins(const std::string& text, const std::string& start) {
  return text.rfind(start, 0) == 0;
}

std::vector<uint8_t> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
  Write(path, std::string(bytes.begin(), bytes.end()));
}

CtlFixture::CtlFixture() : builder(kPibLayout74201D4, false), folder(SessionTestFolder()) {
  fake.plcType = 1;
  fake.firmware = "INT7420-MAC-1.1.3";
  fake.image = builder.image;
  fake.storesWrites = true;
  DataFolderAt("Ostrel");
}

CtlResult CtlFixture::Run(const std::vector<std::string>& args) {
  std::vector<std::string> line{"ostrelctl"};
  line.insert(line.end(), args.begin(), args.end());
  CtlResult result = CtlRun(line, m_host);
  EXPECT_FALSE(m_host.held) << line[1];
  return result;
}

std::string CtlFixture::Path(const std::string& name) const {
  return (std::filesystem::path(folder) / name).string();
}

std::string CtlFixture::HistoryPath() const {
  return (std::filesystem::path(m_host.folder) / "history.txt").string();
}

std::vector<HistoryRecord> CtlFixture::Records() const {
  HistoryFile file;
  std::string error;
  EXPECT_TRUE(HistoryLoad(HistoryPath(), file, error)) << error;
  return file.records;
}

std::vector<std::string> CtlFixture::Copies() const {
  std::vector<std::string> paths;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(m_host.folder) / "copies", error))
    paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

void CtlFixture::UseBroadcom(bool on) {
  fake.plcType = 2;
  fake.param.assign(1500, 0);
  fake.param[0] = 0x07; // lead
  fake.param[1] = 2;
  fake.param[2] = 4; // four elements of two bytes
  for (int at = 4; at < 12; ++at)
    fake.param[at] = static_cast<uint8_t>(at);
  fake.param[5] = on ? 0x80 : 0x00;
}

std::vector<uint8_t> CtlFixture::Unopenable() const {
  std::vector<uint8_t> image = builder.image;
  image[builder.PibOffset() + 100] ^= 1;
  return image;
}

std::string CtlFixture::Address() const {
  return AddressText(builder.image.data() + builder.PibOffset() + kPibDeviceBlock).text;
}

std::size_t CtlFixture::Calls(const std::string& name) const {
  return std::count_if(fake.calls.begin(), fake.calls.end(),
                       [&](const std::string& call) { return Begins(call, name); });
}
