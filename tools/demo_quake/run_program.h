#pragma once

// Runs a helper program (the QuakeC compiler, quakestat, a script) to its end
// and collects what it printed.

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace qwfixture {

struct ProgramRun {
    bool ran = false;     // it was started and ended (by itself or after its time ran out)
    int exitCode = -1;    // -1 unless it exited normally
    bool timedOut = false;
    std::string output;   // standard output
    std::string errors;   // standard error
    std::string reason;   // why it could not be started; empty when it ran
};

struct RunOptions {
    std::string workingDirectory = {};                   // empty: the current one
    std::map<std::string, std::string> environment = {};  // added to or replacing the inherited one
    std::chrono::milliseconds timeout = std::chrono::seconds(60);
};

// `argv[0]` is looked up in PATH when it has no slash.  Standard input is
// /dev/null.  A program still running when the time is up is killed.
ProgramRun runProgram(const std::vector<std::string> &argv, const RunOptions &options = {});

// The full path of `name` in PATH, or empty.
std::string findInPath(const std::string &name);

}  // namespace qwfixture
