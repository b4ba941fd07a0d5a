#pragma once

// Text at the Windows API: the core's strings are UTF-8, the API's are
// UTF-16.  Windows only.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

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

}  // namespace platform
