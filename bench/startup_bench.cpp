// Time from process start to the main window shown, and peak memory, for
// Tessaro next to a plain Qt window built with the same flags, run in turns.
//
// usage: startup_bench TESSARO_PROBE MINIMAL_PROBE LABEL_PROBE [RUNS]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

struct Run {
    double milliseconds = 0;
    long peakKilobytes = 0;
    bool ok = false;
};

Run runOnce(const char *program)
{
    Run run;
    int out[2];
    if (::pipe(out) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char *argv[] = {const_cast<char *>(program), nullptr};

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (error != 0) {
        ::close(out[0]);
        return run;
    }
    std::string said;
    char buffer[64];
    ssize_t got;
    while (said.find("shown") == std::string::npos && (got = ::read(out[0], buffer, sizeof buffer)) > 0)
        said.append(buffer, static_cast<std::size_t>(got));
    run.milliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ::close(out[0]);

    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.peakKilobytes = usage.ru_maxrss;
    run.ok = said.find("shown") != std::string::npos && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

template <typename T>
T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char *argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s TESSARO_PROBE MINIMAL_PROBE LABEL_PROBE [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 4 ? std::atoi(argv[4]) : 15;
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    constexpr int kProbes = 3;  // Tessaro, plain, plain with a label
    std::vector<double> times[kProbes];
    std::vector<long> peaks[kProbes];
    for (int probe = 0; probe < kProbes; ++probe)
        runOnce(argv[1 + probe]);  // warm the file cache for all
    for (int i = 0; i < runs; ++i) {
        for (int probe = 0; probe < kProbes; ++probe) {
            const Run run = runOnce(argv[1 + probe]);
            if (!run.ok) {
                std::fprintf(stderr, "%s failed to show its window\n", argv[1 + probe]);
                return 1;
            }
            times[probe].push_back(run.milliseconds);
            peaks[probe].push_back(run.peakKilobytes);
        }
    }
    const double tessaroTime = median(times[0]), minimalTime = median(times[1]), labelTime = median(times[2]);
    const long tessaroPeak = median(peaks[0]), minimalPeak = median(peaks[1]);
    std::printf("start to window shown, median of %d: Tessaro %.1f ms, plain Qt window %.1f ms, ratio %.2f "
                "(target at most 1.3)\n",
                runs, tessaroTime, minimalTime, tessaroTime / minimalTime);
    std::printf("  (a plain Qt window with one line of text: %.1f ms, ratio %.2f)\n", labelTime,
                tessaroTime / labelTime);
    std::printf("peak memory, median: Tessaro %.1f MB, plain Qt window %.1f MB, difference %.1f MB "
                "(target at most 10 MB)\n",
                tessaroPeak / 1024.0, minimalPeak / 1024.0, (tessaroPeak - minimalPeak) / 1024.0);
    return 0;
}
