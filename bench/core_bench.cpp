// How much a launch costs next to what it cannot avoid: starting a process.
//
//   ReadAndCompose  read tessaro.cfg and compose the server's line (target: < 20 us)
//   Launch          launchServer with a trivial qwsv (target: <= 1.5 x PosixSpawn)
//   PosixSpawn      a bare posix_spawn of the same program, exec included

#include "launch/launch_state.h"
#include "settings/settings_file.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include <poll.h>
#include <spawn.h>
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

void Launch(benchmark::State &state)
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
BENCHMARK(PosixSpawn)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(9)
    ->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    Scratch scratch;
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto &m = reporter.medians;
    if (m.count("ReadAndCompose"))
        std::printf("read and compose: median %.2f us (target under 20 us)\n", m.at("ReadAndCompose"));
    if (m.count("Launch") && m.count("PosixSpawn")) {
        std::printf("launch: median %.1f us; bare posix_spawn: median %.1f us; ratio %.2f (target at most 1.5)\n",
                    m.at("Launch"), m.at("PosixSpawn"), m.at("Launch") / m.at("PosixSpawn"));
    }
    return 0;
}
