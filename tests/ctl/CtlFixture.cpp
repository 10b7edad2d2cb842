#include "CtlFixture.h"

#include "ctl/CtlCommands.h"
#include "tests/session/SessionTestFiles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

std::string JsonMember(const std::string& json, const std::string& key) {
  const std::string name = "\"" + key + "\": ";
  std::size_t at = json.find(name);
  if (at == std::string::npos)
    return "(none)";
  at += name.size();
  // A value ends at the comma or brace outside any string or bracket.
  std::size_t end = at;
  int depth = 0;
  for (bool quoted = false; end < json.size(); ++end) {
    const char c = json[end];
    if (quoted) {
      end += c == '\\';
      quoted = c != '"';
    } else if (c == '"') {
      quoted = true;
    } else if (c == '[' || c == '{') {
      ++depth;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    } else if ((c == ',' || c == '}') && depth == 0) {
      break;
    }
  }
  return json.substr(at, end - at);
}

void ExpectRun(const CtlOutput& run, const CtlExpect& expect, const std::string& row) {
  EXPECT_EQ(run.status, expect.status) << row;
  EXPECT_EQ(run.out, expect.out) << row;
  EXPECT_EQ(run.err.size(), expect.err.size()) << row << ": " << ::testing::PrintToString(run.err);
  for (std::size_t i = 0; i < std::min(run.err.size(), expect.err.size()); ++i)
    EXPECT_EQ(run.err[i].rfind(expect.err[i], 0), 0u) << row << ": " << run.err[i];
  for (const auto& [key, value] : expect.json)
    EXPECT_EQ(JsonMember(run.json, key), value) << row << ": " << key << " in " << run.json;
}

std::string JsonString(const std::string& text) {
  return JsonText(text).text;
}

CtlFixture::CtlFixture() : builder(kPibLayout74201D4, false), folder(SessionTestFolder()) {
  fake.plcType = 1;
  fake.firmware = "INT7420-MAC-1.1.3";
  fake.image = builder.image;
  fake.storesWrites = true;
  DataFolderAt("Ostrel");
}

CtlFixture::~CtlFixture() = default;

CtlOutput CtlFixture::Run(const std::vector<std::string>& args) {
  std::vector<std::string> line{"ostrelctl"};
  line.insert(line.end(), args.begin(), args.end());
  const CtlResult result = CtlRun(line, m_host);
  EXPECT_FALSE(m_host.held) << line[1];
  CtlOutput output;
  output.status = result.status;
  for (const CtlLine& each : CtlText(result))
    (each.say == CtlSay::Line ? output.out : output.err).push_back(each.text);
  output.json = CtlJson(result);
  return output;
}

void CtlFixture::HostRefuses(bool loads, bool lockFree) {
  m_host.loads = loads;
  m_host.free = lockFree;
}

std::size_t CtlFixture::Calls(const std::string& name) const {
  return std::count_if(fake.calls.begin(), fake.calls.end(),
                       [&](const std::string& call) { return call.rfind(name, 0) == 0; });
}

std::string CtlFixture::Path(const std::string& name) const {
  return (std::filesystem::path(folder) / name).string();
}

void CtlFixture::DataFolderAt(const std::string& name) {
  m_host.folder = Path(name);
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

void CtlFixture::AppendHistory(const std::string& line) const {
  std::filesystem::create_directories(m_host.folder);
  std::ofstream(HistoryPath(), std::ios::app | std::ios::binary) << line << "\r\n";
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

std::vector<uint8_t> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}
