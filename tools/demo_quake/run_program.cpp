#include "demo_quake/run_program.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace qwfixture {

namespace {

class Pipe {
public:
    Pipe() { m_ok = ::pipe2(m_fds.data(), O_CLOEXEC) == 0; }
    ~Pipe()
    {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;

    bool ok() const { return m_ok; }
    int readEnd() const { return m_fds[0]; }
    int writeEnd() const { return m_fds[1]; }
    void closeRead() { closeFd(m_fds[0]); }
    void closeWrite() { closeFd(m_fds[1]); }

private:
    static void closeFd(int &fd)
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    std::array<int, 2> m_fds{-1, -1};
    bool m_ok = false;
};

std::vector<std::string> mergedEnvironment(const std::map<std::string, std::string> &changes)
{
    std::vector<std::string> merged;
    for (char **entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (!changes.contains(text.substr(0, text.find('='))))
            merged.push_back(text);
    }
    for (const auto &[name, value] : changes)
        merged.push_back(name + "=" + value);
    return merged;
}

std::vector<char *> pointers(std::vector<std::string> &strings)
{
    std::vector<char *> out;
    for (std::string &s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

std::string findInPath(const std::string &name)
{
    const char *path = std::getenv("PATH");
    std::string rest = path ? path : "/usr/bin:/bin";
    while (true) {
        const auto colon = rest.find(':');
        const std::string directory = rest.substr(0, colon);
        const std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string::npos)
            return {};
        rest = rest.substr(colon + 1);
    }
}

ProgramRun runProgram(const std::vector<std::string> &argv, const RunOptions &options)
{
    ProgramRun run;
    if (argv.empty()) {
        run.reason = "no program given";
        return run;
    }
    const std::string program = argv[0].find('/') == std::string::npos ? findInPath(argv[0]) : argv[0];
    if (program.empty()) {
        run.reason = argv[0] + " is not installed (not found in PATH)";
        return run;
    }

    Pipe out, err;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, out.writeEnd(), STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, err.writeEnd(), STDERR_FILENO);
    if (!options.workingDirectory.empty())
        ::posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());

    std::vector<std::string> args = argv;
    std::vector<std::string> environment = mergedEnvironment(options.environment);
    pid_t pid = 0;
    const int error = out.ok() && err.ok()
                          ? ::posix_spawn(&pid, program.c_str(), &actions, nullptr, pointers(args).data(),
                                          pointers(environment).data())
                          : errno;
    ::posix_spawn_file_actions_destroy(&actions);
    out.closeWrite();
    err.closeWrite();
    if (error != 0) {
        run.reason = program + " could not be started: " + std::strerror(error);
        return run;
    }

    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    std::array<pollfd, 2> fds{{{out.readEnd(), POLLIN, 0}, {err.readEnd(), POLLIN, 0}}};
    std::array<std::string *, 2> sinks{&run.output, &run.errors};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            ::kill(pid, SIGKILL);  // our own child: its pid cannot have been reused before we reap it
            break;
        }
        if (::poll(fds.data(), fds.size(), static_cast<int>(left.count())) < 0 && errno != EINTR)
            break;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.ran = true;
    if (WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}

}  // namespace qwfixture
