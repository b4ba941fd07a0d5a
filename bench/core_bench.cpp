// How much a launch costs next to what it cannot avoid: starting a process.
//
//   ReadAndCompose          read tessaro.cfg and compose the server's line (target: < 20 us)
//   Launch                  launchServer with a trivial qwsv, as Tessaro runs it: its
//                           children reaped by the kernel, the server started directly
//                           (target: <= 1.2 x PosixSpawn)
//   LaunchThroughGoBetween  the same where the kernel does not reap: a short-lived
//                           go-between process starts the server
//   LaunchThroughSpawner    a design measured and not taken: a spawner process forked
//                           at start, asked over a socket pair
//   PosixSpawn              a bare posix_spawn of the same program, exec included

#include "launch/launch_state.h"
#include "settings/settings_file.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

namespace fs = std::filesystem;

// A Quake directory whose qwsv is /bin/true, with tessaro.cfg pointing at it,
// made the current directory for the whole run.
class Scratch {
public:
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "tessaro-bench-XXXXXX").string();
        m_root = ::mkdtemp(pattern.data());
        fs::create_directory(m_root / "quake");
        fs::create_symlink("/bin/true", m_root / "quake" / "qwsv");
        fs::current_path(m_root);
        settings::Directories dirs;
        dirs.slot(1) = (m_root / "quake").string();
        for (int slot = 2; slot <= settings::kSlotCount; ++slot)
            dirs.slot(slot) = "mod" + std::to_string(slot);
        if (!settings::writeDirectories(dirs).ok())
            std::abort();
    }
    ~Scratch()
    {
        std::error_code error;
        fs::current_path("/", error);
        fs::remove_all(m_root, error);
    }

private:
    fs::path m_root;
};

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Waits, outside the measured time, for a started program to end, so that
// it does not compete for the two cores with the next start.
void waitUntilGone(long pid)
{
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
    if (fd < 0)
        return;  // already gone
    pollfd gone{fd, POLLIN, 0};
    ::poll(&gone, 1, 5000);
    ::close(fd);
}

void ReadAndCompose(benchmark::State &state)
{
    const launch::LaunchEntry &entry = *launch::findEntry("cmd27601");
    for (auto _ : state) {
        const settings::ReadResult read = settings::readDirectories();
        const auto command = launch::composeCommand(entry, read.directories.slot(1), read.directories.slot(2));
        benchmark::DoNotOptimize(command.line());
    }
}

void measureLaunches(benchmark::State &state)
{
    launch::LaunchState launchState;
    const launch::LaunchEntry &entry = *launch::findEntry("cmd27601");
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const launch::LaunchOutcome outcome = launch::launchServer(launchState, entry);
        state.SetIterationTime(seconds(std::chrono::steady_clock::now() - start));
        if (outcome.status != launch::LaunchStatus::Started)
            state.SkipWithError(outcome.start.reason.c_str());
        waitUntilGone(outcome.start.processId);
    }
}

void Launch(benchmark::State &state)
{
    launch::reapChildrenAutomatically();
    measureLaunches(state);
    std::signal(SIGCHLD, SIG_DFL);
}

void LaunchThroughGoBetween(benchmark::State &state)
{
    std::signal(SIGCHLD, SIG_DFL);
    measureLaunches(state);
}

// The spawner: forked before anything else, it starts what it is asked to
// with the launch's own attributes and answers with posix_spawn's result.
// Its children are reaped by the kernel.
class Spawner {
public:
    Spawner()
    {
        ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, m_socket);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(m_socket[0]);
            std::signal(SIGCHLD, SIG_IGN);
            serve();
        }
        ::close(m_socket[1]);
    }
    ~Spawner()
    {
        ::close(m_socket[0]);  // the spawner ends at end of input
        ::waitpid(m_pid, nullptr, 0);
    }
    // Starts program in directory; its pid, or 0.
    long start(const std::string &program, const std::string &directory) const
    {
        const std::string request = program + '\0' + directory;
        ::send(m_socket[0], request.data(), request.size(), 0);
        long reply[2] = {};
        ::recv(m_socket[0], reply, sizeof reply, 0);
        return reply[0] == 0 ? reply[1] : 0;
    }

private:
    [[noreturn]] void serve() const
    {
        char request[2 * 4096];
        for (;;) {
            const ssize_t got = ::recv(m_socket[1], request, sizeof request - 1, 0);
            if (got <= 0)
                ::_exit(0);
            request[got] = '\0';
            const char *program = request;
            const char *directory = request + std::strlen(request) + 1;
            posix_spawnattr_t attributes;
            posix_spawn_file_actions_t actions;
            ::posix_spawnattr_init(&attributes);
            ::posix_spawn_file_actions_init(&actions);
            sigset_t all, none;
            ::sigfillset(&all);
            ::sigemptyset(&none);
            ::posix_spawnattr_setsigdefault(&attributes, &all);
            ::posix_spawnattr_setsigmask(&attributes, &none);
            ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);
            ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
            ::posix_spawn_file_actions_addchdir_np(&actions, directory);
            ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
            char *argv[] = {const_cast<char *>(program), const_cast<char *>("-port"), const_cast<char *>("27601"),
                            nullptr};
            pid_t pid = 0;
            const long reply[2] = {::posix_spawn(&pid, program, &actions, &attributes, argv, environ), pid};
            ::posix_spawn_file_actions_destroy(&actions);
            ::posix_spawnattr_destroy(&attributes);
            ::send(m_socket[1], reply, sizeof reply, 0);
        }
    }

    int m_socket[2] = {-1, -1};
    pid_t m_pid = -1;
};

const Spawner *gSpawner = nullptr;

// Reads and composes as a launch does, then asks the spawner.
void LaunchThroughSpawner(benchmark::State &state)
{
    const launch::LaunchEntry &entry = *launch::findEntry("cmd27601");
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const settings::ReadResult read = settings::readDirectories();
        const auto command = launch::composeCommand(entry, read.directories.slot(1), read.directories.slot(2));
        const auto invocation = launch::toInvocation(command, fs::current_path().string());
        const long pid = gSpawner->start(invocation.program, invocation.workingDirectory);
        state.SetIterationTime(seconds(std::chrono::steady_clock::now() - start));
        if (pid == 0)
            state.SkipWithError("the spawner could not start it");
        waitUntilGone(pid);
    }
}

void PosixSpawn(benchmark::State &state)
{
    const std::string program = (fs::current_path() / "quake" / "qwsv").string();
    char *argv[] = {const_cast<char *>(program.c_str()), const_cast<char *>("-port"),
                    const_cast<char *>("27601"), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        const auto start = std::chrono::steady_clock::now();
        const int error = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ);
        state.SetIterationTime(seconds(std::chrono::steady_clock::now() - start));
        if (error != 0)
            state.SkipWithError("posix_spawn failed");
        ::waitpid(pid, nullptr, 0);
    }
}

// Keeps the medians so that the ratio can be printed after the table.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;  // in each benchmark's time unit
};

}  // namespace

BENCHMARK(ReadAndCompose)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(Launch)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(LaunchThroughGoBetween)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(LaunchThroughSpawner)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(PosixSpawn)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(9)
    ->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    const Spawner spawner;  // first, while the process is small and has one thread
    gSpawner = &spawner;
    Scratch scratch;
    // The designs take turns, so that a busy moment of the machine falls on all alike.
    std::vector<char *> arguments(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave.data());
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto &m = reporter.medians;
    if (m.count("ReadAndCompose"))
        std::printf("read and compose: median %.2f us (target under 20 us)\n", m.at("ReadAndCompose"));
    if (m.count("PosixSpawn")) {
        const double bare = m.at("PosixSpawn");
        const std::pair<const char *, const char *> designs[] = {
            {"Launch", "launch as Tessaro runs it (target at most 1.2)"},
            {"LaunchThroughGoBetween", "launch through a go-between"},
            {"LaunchThroughSpawner", "launch through a spawner (not taken)"},
        };
        for (const auto &[name, what] : designs) {
            if (m.count(name))
                std::printf("%s: median %.1f us; bare posix_spawn: median %.1f us; ratio %.2f\n", what, m.at(name),
                            bare, m.at(name) / bare);
        }
    }
    return 0;
}
