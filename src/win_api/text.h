#pragma once

// The core's text at the Windows API, whose strings are UTF-16 while the
// core's are UTF-8: conversions, the system's own error texts, full paths.
// Windows only; the settings file and the process start use it, and so does
// the Windows renderer.

#include <optional>
#include <string>
#include <string_view>

namespace win_api {

// UTF-8 to UTF-16; bytes that are not UTF-8 become U+FFFD.
std::wstring widen(std::string_view utf8);
// UTF-8 to UTF-16, or nothing when the bytes are not UTF-8.
std::optional<std::wstring> widenExactly(std::string_view utf8);
// UTF-16 to UTF-8.
std::string narrow(std::wstring_view utf16);

// The system's own text for an error code, without the closing full stop
// and line break; "%1" in it is replaced by `insert`.
std::string systemMessage(unsigned long error, std::wstring_view insert = {});

// The absolute form of a path (GetFullPathNameW); the path itself when that fails.
std::wstring fullPath(const std::wstring &path);

}  // namespace win_api
