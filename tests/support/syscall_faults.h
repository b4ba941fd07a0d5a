#pragma once

// Faults and races made real with seccomp filters (Linux).  A filter cannot
// be lifted again, so use these only inside runInChild.

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// The process dies by SIGSYS the moment it makes any of these system calls,
// as it would if the machine lost power there.  No core file is written.
void dieOnSystemCalls(const std::vector<long> &numbers);

// Runs `body`.  Whenever it is about to create a file (openat with O_CREAT;
// other ways of creating a file are not seen), `beforeCreate` runs first with
// the path, on another thread while the body waits, as a process racing the
// body could; then the open goes ahead.
std::string interceptFileCreation(const std::function<void(const std::string &path)> &beforeCreate,
                                  const std::function<std::string()> &body);

}  // namespace testing_support
