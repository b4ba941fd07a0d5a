// What a LAN operator waits for and pays with real QuakeWorld servers
// (Debian's mvdsv on a generated Quake directory, on 127.0.0.1):
//
//   launch (launchServerAndWait) to first answer, median of 20
//   46 launches in a row until all 46 answer
//   memory and processor time of the 46 idle servers
//
// A plain program that prints its figures; nothing here passes or fails
// against a target.  Needs the ports of the 46 buttons free.

#include "launch/launch_state.h"
#include "demo_quake/quake_directory.h"
#include "qwserver/started_servers.h"
#include "qwserver/status_query.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSamples = 20;
constexpr auto kAnswerTimeout = std::chrono::seconds(10);
constexpr auto kIdleWindow = std::chrono::seconds(2);

// Servers running right now, for the ways out that skip destructors: an
// interrupt, whose handler may only kill, and a failure.
std::array<std::atomic<long>, 64> g_running{};

void killRunning()
{
    for (auto &pid : g_running) {
        if (const long p = pid.exchange(0); p > 0)
            ::kill(static_cast<pid_t>(p), SIGKILL);
    }
}

void killRunningAndExit(int)
{
    killRunning();
    ::_exit(130);
}

// The bench's servers: stopped by pid however the bench ends.
class BenchServers {
public:
    ~BenchServers() { stopAll(); }
    void adopt(long pid)
    {
        m_servers.adopt(pid);
        for (auto &slot : g_running) {
            long empty = 0;
            if (slot.compare_exchange_strong(empty, pid))
                break;
        }
    }
    void stopAll()
    {
        m_servers.stopAll();
        for (auto &slot : g_running)
            slot = 0;
    }
    const std::vector<long> &pids() const { return m_servers.pids(); }

private:
    qwfixture::StartedServers m_servers;
};

double milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

[[noreturn]] void fail(const std::string &why)
{
    killRunning();
    std::fprintf(stderr, "qwserver_bench: %s\n", why.c_str());
    std::exit(1);
}

// A Quake directory with tessaro.cfg in it, the current directory while the bench runs.
class Scratch {
public:
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "tessaro-qwbench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            fail("cannot create a scratch directory");
        m_root = pattern;
        const qwfixture::BuildOutcome built = qwfixture::buildQuakeDirectory(quake());
        if (!built.ok())
            fail(built.reason);
        fs::current_path(quake());
        settings::Directories dirs({quake(), "fortress", "ctf", "duel1on1", "duel2on2", "duel3on3", "duel4on4", "arena",
                                    "requiem"});
        if (const settings::WriteResult written = settings::writeDirectories(dirs); !written.ok())
            fail(written.reason);
    }
    ~Scratch()
    {
        std::error_code ignored;
        fs::current_path("/", ignored);
        fs::remove_all(m_root, ignored);
    }
    std::string quake() const { return (m_root / "quake").string(); }
    std::string log() const { return (m_root / "servers.log").string(); }

private:
    fs::path m_root;
};

launch::LaunchOutcome launchQuietly(launch::LaunchState &state, const launch::LaunchEntry &entry, BenchServers &servers,
                                    const Scratch &scratch)
{
    qwfixture::ServerOutputToFile output(scratch.log());
    launch::LaunchOutcome outcome = launch::launchServerAndWait(state, entry);
    servers.adopt(outcome.start.processId);
    if (outcome.status != launch::LaunchStatus::Started)
        fail("launching " + std::string(entry.buttonName()) + " failed: " + outcome.start.reason);
    return outcome;
}

void awaitAnswer(int port)
{
    if (!qwfixture::waitForAnswer(port, kAnswerTimeout))
        fail("no answer on 127.0.0.1:" + std::to_string(port));
}

// Resident kilobytes, and processor ticks used so far, of one process.
struct Usage {
    long residentKb = 0;
    unsigned long long ticks = 0;
};

Usage usageOf(long pid)
{
    Usage usage;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            usage.residentKb = std::stol(line.substr(6));
    }
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string content;
    std::getline(stat, content);
    std::istringstream fields(content.substr(content.rfind(')') + 2));
    std::string skipped;
    for (int field = 3; field < 14; ++field)
        fields >> skipped;
    unsigned long long user = 0, system = 0;
    fields >> user >> system;
    usage.ticks = user + system;
    return usage;
}

}  // namespace

int main()
{
    std::vector<int> ports;
    for (const launch::LaunchEntry &entry : launch::kLaunchCatalogue)
        ports.push_back(entry.port);
    if (const auto problem = qwfixture::busyPortsProblem(ports))
        fail(*problem);
    std::signal(SIGINT, killRunningAndExit);
    std::signal(SIGTERM, killRunningAndExit);

    Scratch scratch;
    launch::LaunchState state;
    BenchServers servers;

    const launch::LaunchEntry &button = *launch::findEntry("cmd27601");
    std::vector<double> samples;
    for (int i = 0; i < kSamples; ++i) {
        const auto start = Clock::now();
        launchQuietly(state, button, servers, scratch);
        awaitAnswer(button.port);
        samples.push_back(milliseconds(Clock::now() - start));
        servers.stopAll();
    }
    std::sort(samples.begin(), samples.end());
    std::printf("launch (launchServerAndWait) to first answer, median of %d: %.1f ms (min %.1f, max %.1f)\n", kSamples,
                (samples[kSamples / 2 - 1] + samples[kSamples / 2]) / 2, samples.front(), samples.back());

    const auto start = Clock::now();
    for (const launch::LaunchEntry &entry : launch::kLaunchCatalogue)
        launchQuietly(state, entry, servers, scratch);
    const auto launched = Clock::now();
    for (int port : ports)
        awaitAnswer(port);
    std::printf("46 launches in a row until all 46 answer: %.0f ms (the launches themselves: %.0f ms)\n",
                milliseconds(Clock::now() - start), milliseconds(launched - start));

    std::vector<Usage> before;
    for (long pid : servers.pids())
        before.push_back(usageOf(pid));
    std::this_thread::sleep_for(kIdleWindow);
    double residentMb = 0, ticks = 0;
    for (std::size_t i = 0; i < servers.pids().size(); ++i) {
        const Usage now = usageOf(servers.pids()[i]);
        residentMb += static_cast<double>(now.residentKb) / 1024;
        ticks += static_cast<double>(now.ticks - before[i].ticks);
    }
    const double count = static_cast<double>(servers.pids().size());
    const double coreShare = ticks / static_cast<double>(::sysconf(_SC_CLK_TCK)) /
                             std::chrono::duration<double>(kIdleWindow).count() / count * 100;
    std::printf("46 idle servers: %.1f MB resident each, %.0f MB in all; %.2f%% of a core each over %lld s\n",
                residentMb / count, residentMb, coreShare, static_cast<long long>(kIdleWindow.count()));

    servers.stopAll();
    if (const auto problem = qwfixture::busyPortsProblem(ports))
        fail("after stopping every server: " + *problem);
    return 0;
}
