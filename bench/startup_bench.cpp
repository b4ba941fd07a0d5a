// Time from exec to the main window mapped and painted, and peak memory, for
// Tessaro next to a plain Qt window with one push button built with the same
// flags, started in turns (see startup_probe.cpp for what "mapped" means).
//
// Where a real X server can be had, that is where it measures, since part of
// the cost of starting shows only there: the display in DISPLAY, else an
// Xvfb with openbox of its own; offscreen only when neither is there.
// QT_QPA_PLATFORM, if set, is passed on and wins.
//
// usage: startup_bench [RUNS]   (the probes are looked for next to it)

#include "x_session.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    double milliseconds = 0;
    long peakKilobytes = 0;
    bool ok = false;
};

Run runOnce(const std::string &program)
{
    Run run;
    int out[2];
    if (::pipe(out) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    // Qt's warnings about the environment, once per start, would bury the figures.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char *argv[] = {const_cast<char *>(program.c_str()), nullptr};

    const auto start = Clock::now();
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (error != 0) {
        ::close(out[0]);
        return run;
    }
    // A window manager that has only just started can lose a window mapped
    // in the same moment: a probe is given up on, and ended, after this long.
    constexpr auto kGiveUp = std::chrono::seconds(10);
    std::string said;
    char buffer[64];
    ssize_t got = 1;
    while (said.find("mapped") == std::string::npos && got > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(start + kGiveUp - Clock::now());
        pollfd readable{out[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) == 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        if ((got = ::read(out[0], buffer, sizeof buffer)) > 0)
            said.append(buffer, static_cast<std::size_t>(got));
    }
    run.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    ::close(out[0]);

    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.peakKilobytes = usage.ru_maxrss;
    run.ok = said.find("mapped") != std::string::npos && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

template <typename T>
T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Probe {
    const char *title;
    std::string program;
    std::vector<double> times{};
    std::vector<long> peaks{};
};

}  // namespace

int main(int argc, char *argv[])
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 21;
    if (runs < 1) {
        std::fprintf(stderr, "usage: %s [RUNS]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path here = std::filesystem::canonical("/proc/self/exe").parent_path();
    Probe probes[] = {{"Tessaro", (here / "startup_probe_tessaro").string()},
                      {"one-button Qt window", (here / "startup_probe_minimal").string()}};

    std::unique_ptr<XSession> ownDisplay;
    std::string where;
    if (const char *platform = std::getenv("QT_QPA_PLATFORM")) {
        where = std::string("QT_QPA_PLATFORM=") + platform;
    } else if (const char *display = std::getenv("DISPLAY"); display && *display) {
        where = std::string("X display ") + display + (windowManagerRuns(display) ? " with" : " without")
                + " a window manager";
    } else if ((ownDisplay = XSession::start())) {
        where = "Xvfb " + ownDisplay->display() + " with openbox, started for this run";
    } else {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        where = "offscreen (no X display, and Xvfb with openbox could not be started)";
    }

    for (Probe &probe : probes)
        runOnce(probe.program);  // warms the file cache
    int lost = 0;  // windows the window manager never mapped, started again
    for (int i = 0; i < runs; ++i) {
        // Alternating who goes first keeps a drifting load from favouring either.
        for (int turn = 0; turn < 2; ++turn) {
            Probe &probe = probes[(i + turn) % 2];
            Run run = runOnce(probe.program);
            if (!run.ok && lost < 3) {
                ++lost;
                run = runOnce(probe.program);
            }
            if (!run.ok) {
                std::fprintf(stderr, "%s did not map its window (run it by hand to see why)\n",
                             probe.program.c_str());
                return 1;
            }
            probe.times.push_back(run.milliseconds);
            probe.peaks.push_back(run.peakKilobytes);
        }
    }

    const Probe &tessaro = probes[0], &minimal = probes[1];
    std::printf("on %s, %d starts each, in turns%s\n", where.c_str(), runs,
                lost ? (", " + std::to_string(lost) + " whose window was never mapped started again").c_str() : "");
    std::printf("exec to main window mapped and painted, median: Tessaro %.1f ms, %s %.1f ms, ratio %.2f (target at most 1.0)\n",
                median(tessaro.times), minimal.title, median(minimal.times),
                median(tessaro.times) / median(minimal.times));
    std::printf("  fastest: Tessaro %.1f ms, %s %.1f ms\n", *std::min_element(tessaro.times.begin(), tessaro.times.end()),
                minimal.title, *std::min_element(minimal.times.begin(), minimal.times.end()));
    const long tessaroPeak = median(tessaro.peaks), minimalPeak = median(minimal.peaks);
    auto mebibytes = [](long kilobytes) { return static_cast<double>(kilobytes) / 1024.0; };
    std::printf("peak memory, median: Tessaro %.1f MiB, %s %.1f MiB, difference %.1f MiB (target at most 5 MiB)\n",
                mebibytes(tessaroPeak), minimal.title, mebibytes(minimalPeak), mebibytes(tessaroPeak - minimalPeak));
    return 0;
}
