#include "session/CopyRetention.h"

#include "files/Folder.h"
#include "files/WriteFile.h"

#include <cstdio>
#include <map>
#include <set>
#include <utility>

namespace {

constexpr char kSuffix[] = ".ostrel";

bool IsDigits(const std::string& text, std::size_t from, std::size_t count) {
  if (text.size() < from + count || count == 0)
    return false;
  for (std::size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9')
      return false;
  }
  return true;
}

bool IsKey(const std::string& key) {
  if (key == NameOf(AdapterFamily::Broadcom))
    return true;
  if (key.size() != 2 * kPibAddressSize)
    return false;
  for (const char c : key) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
      return false;
  }
  return true;
}

} // namespace

std::string CopyAdapterKey(const PowerSaveCopy& copy) {
  if (copy.kind != BackupKind::NvmImage)
    return NameOf(AdapterFamily::Broadcom);
  char key[2 * kPibAddressSize + 1];
  for (std::size_t i = 0; i < kPibAddressSize; ++i)
    std::snprintf(key + 2 * i, 3, "%02x", copy.address[i]);
  return key;
}

// "20261208-072131-123", an optional "-N", "_", the key, ".ostrel".
bool IsCopyName(const std::string& name) {
  constexpr std::size_t kStamp = 19;
  const std::size_t suffix = sizeof kSuffix - 1;
  if (name.size() <= kStamp + suffix || name.compare(name.size() - suffix, suffix, kSuffix) != 0 ||
      !IsDigits(name, 0, 8) || name[8] != '-' || !IsDigits(name, 9, 6) || name[15] != '-' ||
      !IsDigits(name, 16, 3))
    return false;
  std::size_t at = kStamp;
  if (name[at] == '-') {
    const std::size_t start = ++at;
    while (at < name.size() && name[at] >= '0' && name[at] <= '9')
      ++at;
    if (at == start)
      return false;
  }
  return name[at] == '_' && IsKey(name.substr(at + 1, name.size() - suffix - at - 1));
}

bool SaveAutoCopy(const std::string& folder, const ClockTime& now, const std::string& key,
                  const std::vector<uint8_t>& file, std::string& path, std::string& error,
                  HeldFileWait& wait) {
  if (!MakeFolders(folder, error))
    return false;
  const std::string stamp = FileStamp(now);
  for (int n = 1; n <= 1000; ++n) {
    path = folder + kPathSeparator + stamp + (n == 1 ? "" : "-" + std::to_string(n)) + "_" + key +
           kSuffix;
    switch (WriteFileWhole(path, file, false, error, wait)) {
    case WriteFileResult::Written:
      error.clear();
      return true;
    case WriteFileResult::Exists:
      break;
    case WriteFileResult::Failed:
      path.clear();
      return false;
    }
  }
  path.clear();
  error = "no free name for the copy";
  return false;
}

std::vector<std::string> CopiesToRemove(const std::vector<HistoryRecord>& records,
                                        const std::vector<HistoryRecord>& dropped,
                                        const std::string& folder, const std::string& keep) {
  using Adapter = std::pair<AdapterFamily, std::string>;
  std::map<Adapter, std::size_t> seen, changes;
  std::set<std::string> kept = {keep}, undone;
  std::vector<std::string> old;
  for (const HistoryRecord& record : dropped)
    old.push_back(record.copy);
  for (std::size_t i = records.size(); i-- > 0;) {
    const HistoryRecord& record = records[i];
    const Adapter adapter = {record.family, record.address};
    const bool recent = ++seen[adapter] <= kCopiesKept;
    const bool undo = record.action == HistoryAction::Undo;
    if (undo && ResultTookEffect(record.result))
      undone.insert(record.undoes);
    const bool change = !undo &&
                        (record.result == HistoryResult::Started || record.afterSha256.empty() ||
                         record.beforeSha256 != record.afterSha256) &&
                        (record.id.empty() || undone.count(record.id) == 0);
    const bool needed = change && ++changes[adapter] <= kCopiesKept;
    if (record.copy.empty())
      continue;
    if (recent || needed)
      kept.insert(record.copy);
    else
      old.push_back(record.copy);
  }
  std::vector<std::string> remove;
  std::set<std::string> listed;
  const std::string prefix = folder + kPathSeparator;
  for (const std::string& path : old) {
    if (kept.count(path) == 0 && path.size() > prefix.size() &&
        path.compare(0, prefix.size(), prefix) == 0 && IsCopyName(path.substr(prefix.size())) &&
        listed.insert(path).second)
      remove.push_back(path);
  }
  return remove;
}
