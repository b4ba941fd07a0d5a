#include "launch/process_start.h"

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__linux__)
#include <sched.h>
#endif

extern char **environ;

namespace launch {

namespace {

// posix_spawn's attributes and file actions, released however the start ends.
class SpawnSetup {
public:
    SpawnSetup()
    {
        ::posix_spawnattr_init(&attributes);
        ::posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup()
    {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup &) = delete;
    SpawnSetup &operator=(const SpawnSetup &) = delete;

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
};

// What the short-lived intermediate process shares with the launcher.
struct Intermediate {
    const char *program;
    char *const *argv;
    const posix_spawnattr_t *attributes;
    const posix_spawn_file_actions_t *actions;
    pid_t server = 0;
    int error = 0;
};

// Runs in a process of its own: a new session, so that neither the
// launcher's end nor its terminal's hang-up reaches the server, and the
// server's parent, so that the server is nobody's child here once this
// process ends and never lingers as a zombie.  Only system calls and
// posix_spawn, which allocates nothing.  It runs on a stack of its own that
// AddressSanitizer cannot know, so it is left uninstrumented rather than
// reported falsely.
__attribute__((no_sanitize("address"))) int runIntermediate(void *shared)
{
    auto *intermediate = static_cast<Intermediate *>(shared);
    if (::setsid() < 0) {
        intermediate->error = errno;
        ::_exit(0);
    }
    intermediate->error = ::posix_spawn(&intermediate->server, intermediate->program, intermediate->actions,
                                        intermediate->attributes, intermediate->argv, environ);
    ::_exit(0);
}

// Starts the intermediate and returns once it has ended.  On Linux it shares
// the launcher's memory and the launcher waits for it, as vfork does: a
// launcher with a large heap pays nothing for copying it.
bool spawnThroughIntermediate(Intermediate &intermediate, int &error)
{
    sigset_t all, previous;
    ::sigfillset(&all);
    // No handler of the launcher may run in the intermediate on the shared memory.
    ::pthread_sigmask(SIG_BLOCK, &all, &previous);

#if defined(__linux__)
    constexpr std::size_t kStackSize = 64 * 1024;
    void *stack = ::mmap(nullptr, kStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    pid_t pid = -1;
    if (stack != MAP_FAILED) {
        pid = ::clone(runIntermediate, static_cast<char *>(stack) + kStackSize, CLONE_VM | CLONE_VFORK | SIGCHLD,
                      &intermediate);
        error = errno;
    } else {
        error = errno;
    }
#else
    const pid_t pid = ::vfork();  // shares memory like the clone above
    if (pid == 0)
        runIntermediate(&intermediate);
    error = errno;
#endif

    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (pid > 0) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
#if defined(__linux__)
    if (stack != MAP_FAILED)
        ::munmap(stack, kStackSize);
#endif
    return pid > 0;
}

// The server gets a clean start: default signal handling, nothing blocked,
// standard input from /dev/null (a server whose descriptor 0 is closed takes
// it for its socket), output where the launcher's goes, no other descriptor
// of the launcher (not the X connection, not a settings file), the Quake
// directory as its working directory.
int prepare(SpawnSetup &setup, const std::string &workingDirectory)
{
    sigset_t all, none;
    ::sigfillset(&all);
    ::sigemptyset(&none);
    int error = ::posix_spawnattr_setsigdefault(&setup.attributes, &all);
    error = error ? error : ::posix_spawnattr_setsigmask(&setup.attributes, &none);
    error = error ? error
                  : ::posix_spawnattr_setflags(&setup.attributes,
                                               static_cast<short>(POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));
    error = error ? error : ::posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        // Output goes nowhere rather than into a socket the server opens later.
        if (!error && ::fcntl(fd, F_GETFD) < 0)
            error = ::posix_spawn_file_actions_addopen(&setup.actions, fd, "/dev/null", O_WRONLY, 0);
    }
    error = error ? error : ::posix_spawn_file_actions_addchdir_np(&setup.actions, workingDirectory.c_str());
    error = error ? error : ::posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);
    return error;
}

std::string currentDirectory()
{
    std::vector<char> buffer(PATH_MAX);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

bool isDirectory(const std::string &path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string describeFailure(int error, const StartResult &result)
{
    const std::string reason = std::strerror(error);
    // Changing into the Quake directory and running qwsv fail alike; the
    // directory tells which of the two it was.
    if (!isDirectory(result.workingDirectory)) {
        if (error == ENOENT)
            return "The Quake directory " + result.workingDirectory + " does not exist.";
        return "The Quake directory " + result.workingDirectory + " cannot be used: " + reason + ".";
    }
    if (error == ENOENT) {
        if (::access(result.program.c_str(), F_OK) == 0)
            return result.program + " cannot be run: the interpreter named in its first line does not exist.";
        return result.program + " does not exist.";
    }
    if (error == EACCES)
        return result.program + " cannot be run: " + reason + " (is it executable?).";
    return result.program + " cannot be run: " + reason + ".";
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

// Inside a terminal, a server that cannot start shows its error in a window
// that closes at once.  What can be known beforehand is checked here, with
// the errors the system would give: no Quake directory, no program, no
// permission, no program at all (a terminal would hand such a file to a
// shell), a script whose interpreter is missing.
int whyItWouldNotRun(const ProgramInvocation &invocation)
{
    if (!isDirectory(invocation.workingDirectory))
        return ENOENT;
    struct stat status {};
    if (::stat(invocation.program.c_str(), &status) != 0)
        return errno;
    if (!S_ISREG(status.st_mode) || ::access(invocation.program.c_str(), X_OK) != 0)
        return EACCES;

    char start[256] = {};
    const int fd = ::open(invocation.program.c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t got = fd >= 0 ? ::read(fd, start, sizeof start - 1) : -1;
    if (fd >= 0)
        ::close(fd);
    if (got >= 4 && std::memcmp(start, "\x7f" "ELF", 4) == 0)
        return 0;
    if (got < 2 || start[0] != '#' || start[1] != '!')
        return ENOEXEC;
    std::string_view line(start + 2, static_cast<std::size_t>(got - 2));
    line = line.substr(0, line.find('\n'));
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return ENOEXEC;
    const std::string interpreter(line.substr(first, line.find_first_of(" \t", first) - first));
    return ::access(interpreter.c_str(), X_OK) == 0 ? 0 : ENOENT;
}

// xterm -iconic -T LINE -n LINE -e PROGRAM ARGS...: the window and its icon
// are named with the composed line, as a Windows console is; xterm runs the
// program itself, without a shell.
std::vector<std::string> inConsole(const std::string &terminal, const std::string &line,
                                   const std::vector<std::string> &argv)
{
    std::vector<std::string> command{terminal, "-iconic", "-T", line, "-n", line, "-e"};
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

}  // namespace

StartResult startServer(const ServerCommand &command)
{
    ProgramInvocation invocation = toInvocation(command, currentDirectory());
    StartResult result;
    result.program = invocation.program;
    result.workingDirectory = invocation.workingDirectory;

    if (const auto terminal = consoleTerminal()) {
        if (const int error = whyItWouldNotRun(invocation)) {
            result.reason = describeFailure(error, result);
            return result;
        }
        invocation.argv = inConsole(*terminal, command.line(), invocation.argv);
        invocation.program = *terminal;
        result.console = true;
    }

    std::vector<char *> argv;
    for (std::string &argument : invocation.argv)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    if (const int error = prepare(setup, invocation.workingDirectory)) {
        result.reason = "The server could not be started: " + std::string(std::strerror(error)) + ".";
        return result;
    }

    Intermediate intermediate{invocation.program.c_str(), argv.data(), &setup.attributes, &setup.actions};
    int error = 0;
    if (!spawnThroughIntermediate(intermediate, error)) {
        result.reason = "The server could not be started: " + std::string(std::strerror(error)) + ".";
        return result;
    }
    if (intermediate.error != 0) {
        result.reason = result.console ? "The console window for " + result.program + " could not be opened: "
                + invocation.program + ": " + std::strerror(intermediate.error) + "."
                                       : describeFailure(intermediate.error, result);
        return result;
    }
    result.started = true;
    result.processId = intermediate.server;
    return result;
}

}  // namespace launch
