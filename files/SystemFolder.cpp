#include "files/SystemFolder.h"

namespace {

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

wchar_t Lower(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// `text` begins with the folder `folder`: the whole name, not a longer one.
bool InFolder(std::wstring_view text, std::wstring_view folder) {
  if (text.size() < folder.size())
    return false;
  for (std::size_t i = 0; i < folder.size(); ++i) {
    if (Lower(text[i]) != Lower(folder[i]) && !(IsSeparator(text[i]) && IsSeparator(folder[i])))
      return false;
  }
  return text.size() == folder.size() || IsSeparator(text[folder.size()]);
}

} // namespace

std::wstring SystemFolderAs(std::wstring_view fullPath, std::wstring_view windowsFolder,
                            std::wstring_view view) {
  while (!windowsFolder.empty() && IsSeparator(windowsFolder.back()))
    windowsFolder.remove_suffix(1);
  if (windowsFolder.empty())
    return {};
  const std::wstring system32 = std::wstring(windowsFolder) + L"\\System32";
  if (!InFolder(fullPath, system32))
    return {};
  return std::wstring(windowsFolder) + L"\\" + std::wstring(view) +
         std::wstring(fullPath.substr(system32.size()));
}
