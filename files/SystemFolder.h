#pragma once
// The system folder as a 32-bit program on 64-bit Windows must name it: there
// a path into WINDOWS\System32 is sent to WINDOWS\SysWOW64, while
// WINDOWS\Sysnative reaches the real System32, where 64-bit programs and
// people look.

#include <string>
#include <string_view>

// `fullPath` through WINDOWS\`view` (Sysnative or SysWOW64) when it lies in
// `windowsFolder`'s System32 (any letter case, either separator), else empty.
std::wstring SystemFolderAs(std::wstring_view fullPath, std::wstring_view windowsFolder,
                            std::wstring_view view);
