#pragma once

// What the POSIX and the Windows test fixtures share: files by their UTF-8
// paths, and the records the stand-in servers write about themselves.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes);
// Whether anything is there, a dangling link included.
bool exists(const std::string &path);
// The names in a directory, sorted.
std::vector<std::string> listDirectory(const std::string &path);

// What a stand-in server wrote down about itself, one "key=value" a line:
// pid, cwd and what else its platform can tell, then one "arg=" per argument.
struct ServerRecord {
    std::map<std::string, std::string> fields;
    std::vector<std::string> argv;

    // The field's value, or "(no KEY)" when the record lacks it.
    std::string field(const std::string &key) const;
};

// The records in `directory`, by the pid in their names (PID.record).  A
// record still being written (no closing "end=1") counts as none.
std::map<long, ServerRecord> recordsIn(const std::string &directory);
// Waits for the record of process `pid`; nothing when none comes in time.
std::optional<ServerRecord> waitForRecordIn(const std::string &directory, long pid,
                                            std::chrono::milliseconds timeout);

}  // namespace testing_support
