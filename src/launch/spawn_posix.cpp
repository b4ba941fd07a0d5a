#include "launch/spawn_posix.h"

#include "launch/process_start.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
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

// A descriptor that would reach the program: open and not closed by exec.
// Descriptors 1 and 2 can be something else's (an X connection) when the
// launcher itself was started without them.
bool inheritable(int fd)
{
    const int flags = ::fcntl(fd, F_GETFD);
    return flags >= 0 && !(flags & FD_CLOEXEC);
}

// The program gets a clean start: a session of its own, default signal
// handling, nothing blocked, its input from /dev/null or its terminal, no
// descriptor of the launcher's but its output (not the X connection, not a
// settings file), the working directory asked for.
int prepare(SpawnSetup &setup, const SpawnPlan &plan)
{
    sigset_t all, none;
    ::sigfillset(&all);
    ::sigemptyset(&none);
    int error = ::posix_spawnattr_setsigdefault(&setup.attributes, &all);
    error = error ? error : ::posix_spawnattr_setsigmask(&setup.attributes, &none);
    error = error ? error
                  : ::posix_spawnattr_setflags(&setup.attributes, static_cast<short>(POSIX_SPAWN_SETSIGDEF
                                                                                     | POSIX_SPAWN_SETSIGMASK
                                                                                     | POSIX_SPAWN_SETSID));
    auto &actions = setup.actions;
    // First, before 0 to 2 are replaced: the descriptor may be one of them.
    // Its own number given twice clears close-on-exec.
    if (!error && plan.passOn >= 0)
        error = ::posix_spawn_file_actions_adddup2(&actions, plan.passOn, kPassedOnDescriptor);
    if (!error && plan.terminal.empty()) {
        error = ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
            // Output goes nowhere rather than into a socket the program opens later.
            if (!error && !inheritable(fd))
                error = ::posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_WRONLY, 0);
        }
    } else if (!error) {
        // The session's leader opens it first: it becomes its controlling
        // terminal, whose hang-up (the window closed) ends the program.
        error = ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, plan.terminal.c_str(), O_RDWR, 0);
        error = error ? error : ::posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDOUT_FILENO);
        error = error ? error : ::posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDERR_FILENO);
    }
    if (!error && !plan.workingDirectory.empty())
        error = ::posix_spawn_file_actions_addchdir_np(&actions, plan.workingDirectory.c_str());
    const int firstClosed = plan.passOn >= 0 ? kPassedOnDescriptor + 1 : STDERR_FILENO + 1;
    return error ? error : ::posix_spawn_file_actions_addclosefrom_np(&actions, firstClosed);
}

// A child of a launcher whose children the kernel reaps can be started
// directly: it never lingers as a zombie.
bool childrenReapedByKernel()
{
    struct sigaction current {};
    ::sigaction(SIGCHLD, nullptr, &current);
    return current.sa_handler == SIG_IGN || (current.sa_flags & SA_NOCLDWAIT);
}

// What the short-lived go-between shares with the launcher.
struct Intermediate {
    const char *program;
    char *const *argv;
    const posix_spawnattr_t *attributes;
    const posix_spawn_file_actions_t *actions;
    pid_t server = 0;
    int error = 0;
};

// Runs in a process of its own that starts the program and ends, so that the
// program is nobody's child here and never lingers as a zombie.  Only
// posix_spawn, which allocates nothing.  It runs on a stack of its own that
// AddressSanitizer cannot know, so it is left uninstrumented rather than
// reported falsely.
__attribute__((no_sanitize("address"))) int runIntermediate(void *shared)
{
    auto *intermediate = static_cast<Intermediate *>(shared);
    intermediate->error = ::posix_spawn(&intermediate->server, intermediate->program, intermediate->actions,
                                        intermediate->attributes, intermediate->argv, environ);
    ::_exit(0);
}

// Starts the go-between and returns once it has ended.  On Linux it shares
// the launcher's memory and the launcher waits for it, as vfork does: a
// launcher with a large heap pays nothing for copying it.
bool spawnThroughIntermediate(Intermediate &intermediate, int &error)
{
    sigset_t all, previous;
    ::sigfillset(&all);
    // No handler of the launcher may run in the go-between on the shared memory.
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

}  // namespace

Spawned spawnDetached(const SpawnPlan &plan)
{
    std::vector<char *> argv;
    for (const std::string &argument : plan.argv)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);

    SpawnSetup setup;
    if (const int error = prepare(setup, plan))
        return {0, error};

    if (childrenReapedByKernel()) {
        pid_t pid = 0;
        const int error =
            ::posix_spawn(&pid, plan.program.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
        return {error ? 0 : pid, error};
    }
    Intermediate intermediate{plan.program.c_str(), argv.data(), &setup.attributes, &setup.actions};
    int error = 0;
    if (!spawnThroughIntermediate(intermediate, error))
        return {0, error};
    return {intermediate.error ? 0 : intermediate.server, intermediate.error};
}

void ensureStandardDescriptors()
{
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        // The lowest free number, which is fd, since those below are open by now.
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd)
            ::close(opened);
    }
}

void reapChildrenAutomatically()
{
    // Unlike an ignored SIGCHLD, this flag is not passed on through exec.
    struct sigaction reap {};
    reap.sa_handler = SIG_DFL;
    reap.sa_flags = SA_NOCLDWAIT;
    ::sigemptyset(&reap.sa_mask);
    ::sigaction(SIGCHLD, &reap, nullptr);
}

}  // namespace launch
