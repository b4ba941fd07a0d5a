#pragma once

// Starting the server: detached, minimised where the platform has windows for
// it, never waited for.  One implementation per platform.

#include "launch/command_line.h"
#include "launch/start_failure.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace launch {

struct StartResult {
    bool started = false;
    bool console = false;          // the server runs in a console window of its own
    long processId = 0;            // the server's process; the launcher forgets it
    std::string program;           // the program the platform was asked to run
    std::string workingDirectory;  // where it was asked to run it
    StartFailure failure = StartFailure::None;
    std::string detail;            // what the failure names besides those two (see StartFailure)
    std::string reason;            // the failure in words (startFailureCause); empty when started
};

// A start that finishes later: on a desktop the server is started from its
// console window, which xterm takes a moment to show.  The caller's event loop
// watches descriptor() and calls advance() when it is readable or when
// deadline() has passed.
class PendingStart {
public:
    virtual ~PendingStart() = default;
    virtual int descriptor() const = 0;
    virtual std::chrono::steady_clock::time_point deadline() const = 0;
    // The outcome once it is final; nothing while it is not (keep watching).
    virtual std::optional<StartResult> advance() = 0;
};

struct ServerStart {
    StartResult result;                     // final unless pending is set
    std::unique_ptr<PendingStart> pending;  // set while the console is being opened
};

// Never waits for a console window.  Whatever keeps the system from running
// the server is reported, sorted into a StartFailure, in the final result.
ServerStart beginServerStart(const ServerCommand &command);

// Waits for a pending start to finish, and returns its outcome.
StartResult finishServerStart(PendingStart &pending);

// beginServerStart, then finishServerStart: returns once the server program
// is running, or once it is certain that it will not.
StartResult startServer(const ServerCommand &command);

// Why the server could not be run from this Quake directory, however it is
// spelt ("is too long: ..."), or nothing.  The sentence starts "The Quake
// Directory ...".
std::optional<std::string> quakeDirectoryProblem(std::string_view quakeDirectory);

// For the start of main(): the kernel reaps every child of this process the
// moment it ends, so that a server started directly can never be left a
// zombie, and the launch needs no go-between process.  A program that waits
// for children of its own must not call this.
void reapChildrenAutomatically();

// The launcher's working directory, named as it was, when it has been
// deleted under the running launcher: no settings file can be read there.
std::optional<std::string> deletedWorkingDirectory();

// For the start of main(), before anything opens a file.  Descriptors 0, 1
// and 2 that are closed are opened on /dev/null: otherwise the first files
// the program opens take their numbers, and what it starts would find them
// where its input and output belong.
void ensureStandardDescriptors();

}  // namespace launch
