#pragma once

// After the system refused to start a program: which of the host's faults
// it was.  The refusal itself decides that nothing runs; this only finds the
// words, by asking what the kernel asked.

#include "launch/start_failure.h"

#include <string>

namespace launch {

struct ProgramInvocation;

struct ExecFailure {
    StartFailure failure = StartFailure::SystemRefused;
    std::string detail;
};

// `error` is what changing into the working directory or running the
// program failed with.
ExecFailure classifyExecFailure(int error, const ProgramInvocation &invocation);

// The path of the launcher's working directory when it has been deleted.
std::string deletedDirectoryName();

}  // namespace launch
