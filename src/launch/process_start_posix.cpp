#include "launch/process_start.h"

#include "launch/console_posix.h"
#include "launch/exec_failure_posix.h"
#include "launch/spawn_posix.h"

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <poll.h>
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

bool isExecutableFile(const std::string &path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(path.c_str(), X_OK) == 0;
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
        if (isExecutableFile(candidate))
            return candidate;
    }
    return std::nullopt;
}

// The program xterm runs for the server: beside this one, as in the build
// tree, or where the package installs it, relative to this one.  Without it
// the server runs detached, as without xterm.
std::optional<std::string> consoleProgram()
{
    std::vector<char> self(PATH_MAX + 1);
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (length <= 0)
        return std::nullopt;
    std::string directory(self.data(), static_cast<std::size_t>(length));
    directory.resize(directory.find_last_of('/'));
    const std::string name(console::kProgramName);
    for (const std::string &candidate :
         {directory + "/" + name, directory + "/" TESSARO_CONSOLE_FROM_PROGRAM "/" + name}) {
        if (isExecutableFile(candidate))
            return candidate;
    }
    return std::nullopt;
}

std::optional<ConsoleWindow> consoleWindow(const ServerCommand &command)
{
    auto xterm = consoleTerminal();
    auto program = xterm ? consoleProgram() : std::nullopt;
    if (!program)
        return std::nullopt;
    return ConsoleWindow{std::move(*xterm), std::move(*program), command.port, command.shortName};
}

// "C:\Quake", "D:/games/quake" or "\\server\quake": typed by a host used to
// Windows, and nothing that Linux can find.
bool looksLikeWindowsPath(std::string_view directory)
{
    const bool drive = directory.size() >= 2 && std::isalpha(static_cast<unsigned char>(directory[0]))
        && directory[1] == ':' && (directory.size() == 2 || directory[2] == '\\' || directory[2] == '/');
    return drive || directory.starts_with("\\\\");
}

// What the system said to running the server: `error` is its errno.
StartResult spawned(StartResult result, const ServerCommand &command, const ProgramInvocation &invocation, int error,
                    long pid)
{
    if (error != 0) {
        if (command.quakeDirectory.empty())
            return failedStart(result, StartFailure::NoQuakeDirectory);
        const ExecFailure failure = classifyExecFailure(error, invocation);
        if (failure.failure == StartFailure::QuakeDirectoryMissing && looksLikeWindowsPath(command.quakeDirectory))
            return failedStart(result, StartFailure::QuakeDirectoryWindowsPath, command.quakeDirectory);
        return failedStart(result, failure.failure, failure.detail);
    }
    result.started = true;
    result.processId = pid;
    return result;
}

StartResult startDetached(const StartResult &result, const ServerCommand &command, const ProgramInvocation &invocation)
{
    const Spawned server = spawnDetached({invocation.program, invocation.argv, invocation.workingDirectory, {}, -1});
    return spawned(result, command, invocation, server.error, server.pid);
}

// A server that its console window starts.  A window that cannot be shown
// leaves the server to run detached.
class ConsoleServerStart final : public PendingStart {
public:
    ConsoleServerStart(std::unique_ptr<ConsoleStart> console, StartResult result, ServerCommand command,
                       ProgramInvocation invocation)
        : m_console(std::move(console)), m_result(std::move(result)), m_command(std::move(command)),
          m_invocation(std::move(invocation))
    {
    }

    int descriptor() const override { return m_console->descriptor(); }
    std::chrono::steady_clock::time_point deadline() const override { return m_console->deadline(); }

    std::optional<StartResult> advance() override
    {
        const auto outcome = m_console->advance();
        if (!outcome)
            return std::nullopt;
        switch (outcome->kind) {
        case ConsoleStart::Outcome::Started:
            m_result.console = true;
            return spawned(m_result, m_command, m_invocation, 0, outcome->value);
        case ConsoleStart::Outcome::Refused:
            return spawned(m_result, m_command, m_invocation, static_cast<int>(outcome->value), 0);
        case ConsoleStart::Outcome::NoWindow:
            break;
        }
        return startDetached(m_result, m_command, m_invocation);
    }

private:
    std::unique_ptr<ConsoleStart> m_console;
    StartResult m_result;
    ServerCommand m_command;
    ProgramInvocation m_invocation;
};

}  // namespace

ServerStart beginServerStart(const ServerCommand &command)
{
    StartResult result;
    const std::optional<std::string> launcherDirectory = currentDirectory();
    const bool relative = command.quakeDirectory.empty() || command.quakeDirectory.front() != '/';
    if (!launcherDirectory && relative && !command.quakeDirectory.empty())
        return {failedStart(result, StartFailure::WorkingDirectoryDeleted, deletedDirectoryName()), nullptr};
    ProgramInvocation invocation = toInvocation(command, launcherDirectory.value_or("/"));
    result.program = invocation.program;
    result.workingDirectory = invocation.workingDirectory;

    if (const auto window = consoleWindow(command)) {
        if (auto console = ConsoleStart::open(*window, invocation))
            return {result, std::make_unique<ConsoleServerStart>(std::move(console), result, command,
                                                                 std::move(invocation))};
    }
    return {startDetached(result, command, invocation), nullptr};
}

StartResult finishServerStart(PendingStart &pending)
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(pending.deadline()
                                                                       - std::chrono::steady_clock::now());
        pollfd channel{pending.descriptor(), POLLIN, 0};
        ::poll(&channel, 1, static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0)));
        if (auto result = pending.advance())
            return *result;
    }
}

StartResult startServer(const ServerCommand &command)
{
    ServerStart start = beginServerStart(command);
    return start.pending ? finishServerStart(*start.pending) : start.result;
}

std::optional<std::string> quakeDirectoryProblem(std::string_view quakeDirectory)
{
    ServerCommand command;
    command.quakeDirectory = quakeDirectory;
    const std::string program = toInvocation(command, currentDirectory().value_or("/")).program;
    if (program.size() < PATH_MAX)
        return std::nullopt;
    return "is too long: with qwsv after it, it makes a path of " + std::to_string(program.size())
        + " bytes, and Linux runs no program from a path longer than " + std::to_string(PATH_MAX - 1);
}

std::optional<std::string> deletedWorkingDirectory()
{
    if (currentDirectory() || errno != ENOENT)
        return std::nullopt;
    return deletedDirectoryName();
}

}  // namespace launch
