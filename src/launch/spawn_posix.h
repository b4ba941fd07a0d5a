#pragma once

// Starting a program that must not belong to the launcher: in a session of
// its own, never left a zombie of the launcher, with nothing of the
// launcher's but its environment and its output, and outliving it.

#include <string>
#include <vector>

#include <sys/types.h>

namespace launch {

struct SpawnPlan {
    std::string program;           // an absolute path
    std::vector<std::string> argv;
    std::string workingDirectory;  // empty: the launcher's
    // Non-empty: descriptors 0, 1 and 2 on this terminal, which becomes the
    // program's controlling terminal.  Empty: input from /dev/null, output
    // where the launcher's goes.
    std::string terminal;
    int passOn = -1;  // a descriptor of the launcher's handed on as kPassedOnDescriptor
};

inline constexpr int kPassedOnDescriptor = 3;

struct Spawned {
    pid_t pid = 0;
    int error = 0;  // errno of whatever failed, the exec included
};

// Returns once the program runs, or once it is certain that it will not.
Spawned spawnDetached(const SpawnPlan &plan);

}  // namespace launch
