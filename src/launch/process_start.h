#pragma once

// Starting the server: detached, minimised where the platform has windows for
// it, never waited for.  One implementation per platform.

#include "launch/command_line.h"

#include <string>

namespace launch {

struct StartResult {
    bool started = false;
    bool console = false;          // the server runs in a console window of its own
    long processId = 0;            // the server's process, or its console's; the launcher forgets it
    std::string program;           // the program the platform was asked to run
    std::string workingDirectory;  // where it was asked to run it
    std::string reason;            // why it did not start, in words; empty when started
};

// Returns once the server program is running, or once it is certain that it
// will not: a missing program, a missing Quake directory and a file that is
// not executable are reported here, with the system's reason.
StartResult startServer(const ServerCommand &command);

}  // namespace launch
