#pragma once

// Why a server did not start, and what the host can do about it.  Each
// platform's start sorts its failures into these kinds; one table words
// them, so that every window, on every platform, says the same.

#include <string>

namespace launch {

enum class StartFailure {
    None,
    NoQuakeDirectory,             // none is set: the Quake directory is empty
    QuakeDirectoryMissing,
    QuakeDirectoryNotADirectory,  // a file stands where the directory should be
    QuakeDirectoryNotEnterable,   // its permissions keep the user out
    QuakeDirectoryNoExec,         // on a file system that forbids running programs
    QuakeDirectoryUnusable,       // a path the system cannot take; `detail` says why
    QuakeDirectoryWindowsPath,    // "C:\Quake" where that means nothing (`detail`: the directory as set)
    PathTooLong,                  // longer than the system runs programs from (`detail`: that limit)
    ProgramMissing,
    WindowsServerOnly,            // no qwsv, but a Windows qwsv.exe (`detail`) beside where it should be
    ProgramLinkBroken,            // a link to a file that does not exist (`detail`)
    ProgramIsDirectory,
    ProgramNotExecutable,
    NotAProgram,                  // not a program for this system at all
    LoaderMissing,                // built for another system: its loader (`detail`) is missing
    ForeignArchitecture,          // built for another processor (`detail`)
    InterpreterMissing,           // a script whose interpreter (`detail`) does not exist
    InterpreterNotExecutable,     // a script whose interpreter (`detail`) cannot be run
    WorkingDirectoryDeleted,      // Tessaro's own directory (`detail`) is gone
    EnvironmentTooLarge,          // Tessaro's environment, which the server inherits, is more than a start takes
    OutOfFiles,                   // no file descriptor to spare; `detail` says whose
    SystemRefused,                // anything else; `detail` is the system's reason
};

struct StartMessage {
    std::string text;    // what happened, naming the file or directory
    std::string advice;  // what to do about it
};

struct StartResult;

// The failure in a sentence, without the port: "/srv/quake/qwsv is not executable."
std::string startFailureCause(const StartResult &result);

// `result` marked as failed with `failure`, and worded.
StartResult failedStart(StartResult result, StartFailure failure, std::string detail = {});

// The whole message for the server on `port`.
StartMessage startFailureMessage(const StartResult &result, int port);

}  // namespace launch
