#include "CtlFixture.h"

#include "ctl/CtlCommands.h"
#include "nvm/PibAddress.h"
#include "tests/session/SessionTestFiles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

bool Begins(const std::string& text, const std::string& start) {
  return text.rfind(start, 0) == 0;
}

std::string FailureText(const CtlResult& result) {
  return result.failure ? result.failure->text : "(none)";
}

std::vector<uint8_t> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
  Write(path, std::string(bytes.begin(), bytes.end()));
}

CtlFixture::CtlFixture() : builder(kPibLayout74201D4, false), folder(SessionTestFolder()) {
  Given("");
}

void CtlFixture::Given(const std::string& knobs) {
  const auto has = [&](char knob) { return knobs.find(knob) != std::string::npos; };
  m_host.loads = !has('L');
  m_host.free = !has('H');
  m_host.movedFrom = has('M') ? "C:\\old\\Ostrel" : "";
  fake.calls.clear();
  fake.plcType = has('N') ? 0 : has('B') || has('E') ? 2 : 1;
  fake.firmware = has('S') ? "INT7420-MAC-2.0.1" : "INT7420-MAC-1.1.3";
  fake.devInfoResult = !has('D');
  fake.getPibResult = !has('P');
  fake.image = has('X') ? Unopenable() : NvmImageBuilder(builder.layout, has('O')).image;
  fake.writePibResult = !has('W');
  fake.resetResult = !has('R');
  fake.storesWrites = !has('K');
  fake.onWrite = [this, unfetchable = has('U')] { fake.getPibResult = !unfetchable; };
  // A parameter of four elements of two bytes after its lead; the top bit of
  // byte 5 is power save's.
  fake.param = {0x07, 2, uint8_t(has('E') ? 0 : 4), 0, 4, uint8_t(has('B') ? 0x80 : 0), 6, 7, 8, 9,
                10,   11};
  fake.param.resize(1500);
  m_host.folder = Path("data " + std::to_string(++m_rows));
  if (has('F'))
    WriteWhole(m_host.folder, {'x'});
}

CtlResult CtlFixture::Run(const std::vector<std::string>& args) {
  std::vector<std::string> line{"ostrelctl"};
  line.insert(line.end(), args.begin(), args.end());
  CtlResult result = CtlRun(line, m_host);
  EXPECT_FALSE(m_host.held) << line[1];
  return result;
}

std::string CtlFixture::Facts(const CtlResult& result) {
  static const char* const kOutcomes[] = {
      "refused",  "adapter_refused",   "reset_failed",        "written",
      "verified", "read_back_differs", "read_back_unreadable"};
  static const char* const kFaults[] = {
      "",           "/state_unreadable", "/state_differs", "/copy_unreadable", "/copy_differs",
      "/copy_short"};
  std::string facts = std::to_string(result.status);
  if (const auto& failure = result.failure) {
    facts += std::string(" ") + NameOf(failure->code);
    if (failure->left != CtlLeft::Unsaid)
      facts += failure->left == CtlLeft::NothingWritten ? " (nothing written)" : " (nothing saved)";
  }
  if (const auto& write = result.write) {
    facts += std::string(" write:") + kOutcomes[static_cast<int>(write->outcome)] +
             kFaults[static_cast<int>(write->readBackFault.kind)];
    if (!write->copyFault.empty() || !write->historyFault.empty())
      facts += std::string(" unkept:") + (write->copyFault.empty() ? "" : "copy") +
               (write->historyFault.empty() ? "" : ",record");
  }
  return facts + (result.already ? " already" : "");
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

std::size_t CtlFixture::Copies() const {
  std::error_code error;
  const std::filesystem::path copies = std::filesystem::path(m_host.folder) / "copies";
  const std::filesystem::directory_iterator each(copies, error);
  return std::distance(begin(each), end(each));
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
