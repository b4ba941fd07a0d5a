#pragma once

// The server command line, composed exactly as the server on Windows sees
// it, and its mapping onto a program and an argument vector for platforms
// that start programs that way.

#include "launch/catalogue.h"

#include <string>
#include <string_view>
#include <vector>

namespace launch {

struct ServerCommand {
    std::string quakeDirectory;  // as read from the settings, unchanged
    std::string program;         // the Quake directory followed by "\qwsv"
    std::string arguments;       // everything after it, leading blank included
    std::string shortName;       // the port, then any game directory: what a task bar has room for
    int port = 0;

    // The whole line, joined as it is: nothing quoted, nothing trimmed.
    std::string line() const { return program + arguments; }
};

// "D\qwsv +gamedir G -port P", or "D\qwsv -port P" for the plain form.
ServerCommand composeCommand(const LaunchEntry &entry, std::string_view quakeDirectory,
                             std::string_view gameDirectory);

// Splits a command line's arguments the way the Microsoft C runtime does:
// blanks and tabs separate; double quotes group and are removed; backslashes
// are literal except before a double quote, where 2n backslashes give n and
// let the quote act, and 2n+1 give n and a literal quote; inside quotes, two
// double quotes give one literal quote.
std::vector<std::string> splitArguments(std::string_view arguments);

// What a POSIX process start needs: an absolute program path, its argument
// vector (argv[0] included) and the directory to run it in.
struct ProgramInvocation {
    std::string program;
    std::vector<std::string> argv;
    std::string workingDirectory;
};

// The backslash before qwsv is the directory separator; the Quake directory is
// taken whole, blanks and all, and made absolute against `launcherDirectory`.
// The server runs in the Quake directory, where it finds its game data.
ProgramInvocation toInvocation(const ServerCommand &command, std::string_view launcherDirectory);

}  // namespace launch
