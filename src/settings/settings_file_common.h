#pragma once

// What the platform files of the settings file share: the bounded read that
// feeds parseFields, and the words they report failures in.  Internal to
// settings_file_posix.cpp and settings_file_win.cpp.

#include "settings/settings_file.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace settings::detail {

// One read of at most `capacity` bytes into `buffer`: the number of bytes
// read, 0 at the end of the file, or nothing when the read failed, with the
// system's reason in `reason`.
using ReadChunk = std::function<std::optional<std::size_t>(char *buffer, std::size_t capacity, std::string &reason)>;

// Reads the file in small pieces until its ninth field is complete, the file
// ends or a field runs longer than any directory, and fills in `result`:
// directories, fieldsRead and, on failure, failure and reason.  `result.path`
// names the file in the reasons.  Nothing after the ninth field is read.
void readFields(ReadResult &result, const ReadChunk &readChunk);

// A name for the new file that is written beside tessaro.cfg and then takes
// its place: hidden where a leading dot hides, random, and never the same
// twice in a row.
std::string temporaryName();

// Whether `name` has exactly the shape temporaryName() gives.
bool isTemporaryName(std::string_view name);

// The first value that valueProblem() rejects, as the reason why nothing was
// written; nothing when all nine can be stored.
std::optional<std::string> refusedValue(const Directories &directories);

// Reasons, each a whole sentence about the file `path` (as displayed).
std::string missingReason(const std::string &path);
std::string unreadableReason(const std::string &path, const std::string &systemReason);
std::string directoryReason(const std::string &path);
std::string notAFileReason(const std::string &path);
std::string writeFailedReason(const std::string &path, const std::string &systemReason);
std::string replaceFailedReason(const std::string &path, const std::string &systemReason);
std::string readOnlyReason(const std::string &path, const std::string &howToAllowWriting);
std::string noNewFileReason(const std::string &path, const std::string &directory, const std::string &systemReason);

}  // namespace settings::detail
