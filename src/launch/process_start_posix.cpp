#include "launch/process_start.h"

#include "launch/console_posix.h"
#include "launch/exec_failure_posix.h"
#include "launch/spawn_posix.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace launch {

namespace {

// Nothing when the launcher's working directory has been deleted.
std::optional<std::string> currentDirectory()
{
    std::vector<char> buffer(PATH_MAX);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

// On a desktop each server gets a console of its own, as on Windows: an
// xterm opened iconified, so that the launcher keeps the focus, in which the
// operator reads the server's log and types its commands, and whose closing
// ends the server.  Without a display or without xterm, the server runs
// detached with no console.  Only an xterm from an absolute directory of
// PATH counts: never one from the current directory.
std::optional<std::string> consoleTerminal()
{
    const char *display = std::getenv("DISPLAY");
    const char *path = std::getenv("PATH");
    if (!display || !*display || !path)
        return std::nullopt;
    std::string_view directories(path);
    while (!directories.empty()) {
        const auto colon = directories.find(':');
        const std::string_view directory = directories.substr(0, colon);
        directories.remove_prefix(colon == std::string_view::npos ? directories.size() : colon + 1);
        if (directory.empty() || directory.front() != '/')
            continue;
        const std::string candidate = std::string(directory) + "/xterm";
        struct stat status {};
        if (::stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::nullopt;
}

// The console's title: the line as the program runs here, with / and with
// its arguments as the server gets them.
std::string titleOf(const ProgramInvocation &invocation)
{
    std::string title;
    for (const std::string &argument : invocation.argv)
        title += (title.empty() ? "" : " ") + argument;
    return title;
}

}  // namespace

StartResult startServer(const ServerCommand &command)
{
    StartResult result;
    const std::optional<std::string> launcherDirectory = currentDirectory();
    const bool relative = command.quakeDirectory.empty() || command.quakeDirectory.front() != '/';
    if (!launcherDirectory && relative && !command.quakeDirectory.empty())
        return failedStart(result, StartFailure::WorkingDirectoryDeleted, deletedDirectoryName());
    const ProgramInvocation invocation = toInvocation(command, launcherDirectory.value_or("/"));
    result.program = invocation.program;
    result.workingDirectory = invocation.workingDirectory;

    SpawnPlan plan{invocation.program, invocation.argv, invocation.workingDirectory, {}, -1};
    std::unique_ptr<Console> console;
    if (const auto xterm = consoleTerminal()) {
        // A console that cannot be shown leaves the server to run detached.
        console = Console::open(*xterm, titleOf(invocation), command.shortName);
        if (console)
            plan.terminal = console->terminal();
    }

    const Spawned server = spawnDetached(plan);
    if (server.error != 0) {
        if (command.quakeDirectory.empty())
            return failedStart(result, StartFailure::NoQuakeDirectory);
        const ExecFailure failure = classifyExecFailure(server.error, invocation);
        return failedStart(result, failure.failure, failure.detail);
    }
    if (console) {
        console->handOver();
        result.console = true;
    }
    result.started = true;
    result.processId = server.pid;
    return result;
}

std::optional<std::string> deletedWorkingDirectory()
{
    if (currentDirectory() || errno != ENOENT)
        return std::nullopt;
    return deletedDirectoryName();
}

}  // namespace launch
