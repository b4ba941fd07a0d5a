#include "launch/launch_state.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace launch;
using namespace testing_support;

namespace {

class Launching : public ::testing::Test {
protected:
    FakeQuake quake;
    ScopedCurrentDirectory cd{quake.root()};
    LaunchState state;

    void writeSettings(const std::string &quakeDirectory)
    {
        settings::Directories dirs(std::array<std::string, 9>{quakeDirectory, "fortress", "ctf", "duel1", "duel2",
                                                              "duel3", "duel4", "arena", "requiem"});
        ASSERT_TRUE(settings::writeDirectories(dirs).ok());
    }

    LaunchOutcome launch(std::string_view button)
    {
        LaunchOutcome outcome = launchServerAndWait(state, *findEntry(button));
        quake.adopt(outcome.start.processId);
        return outcome;
    }
};

TEST_F(Launching, GetdirTakesSlotOneAndTheGroupsSlot)
{
    writeSettings("/srv/quake");
    struct Case {
        GameType gameType;
        const char *game;
    };
    for (const Case c : {Case{1, "/srv/quake"}, Case{2, "fortress"}, Case{8, "arena"}, Case{9, "requiem"}}) {
        ASSERT_TRUE(state.getdir(c.gameType).ok());
        EXPECT_EQ(state.quakeDirectory(), "/srv/quake");
        EXPECT_EQ(state.gameDirectory(), c.game);
    }
}

TEST_F(Launching, EveryLaunchReadsTheFileAfresh)
{
    writeSettings("/nowhere");
    const LaunchOutcome first = launch("cmd27500");
    EXPECT_EQ(first.status, LaunchStatus::StartFailed);
    EXPECT_EQ(first.commandLine, "/nowhere\\qwsv -port 27500");

    writeSettings(quake.quakeDirectory());  // what Apply does
    const LaunchOutcome second = launch("cmd27500");
    ASSERT_EQ(second.status, LaunchStatus::Started) << second.start.reason;
    EXPECT_EQ(second.commandLine, quake.quakeDirectory() + "\\qwsv -port 27500");
}

TEST_F(Launching, TheSameButtonTwiceStartsTwoServersAlike)
{
    writeSettings(quake.quakeDirectory());
    const LaunchOutcome a = launch("cmd27601");
    const LaunchOutcome b = launch("cmd27601");
    ASSERT_EQ(a.status, LaunchStatus::Started);
    ASSERT_EQ(b.status, LaunchStatus::Started);
    EXPECT_NE(a.start.processId, b.start.processId);
    const auto first = quake.waitForRecord(a.start.processId);
    const auto second = quake.waitForRecord(b.start.processId);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->argv, second->argv);
    EXPECT_EQ(first->argv.at(2), "fortress");
}

TEST_F(Launching, UnreadableSettingsStartNothing)
{
    struct Case {
        const char *name;
        std::string content;  // empty: no file at all
        settings::ReadFailure failure;
    };
    for (const Case &c : {Case{"missing", "", settings::ReadFailure::Missing},
                          Case{"short", quake.quakeDirectory() + ",fortress\r\n", settings::ReadFailure::TooFewFields}}) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove("tessaro.cfg");
        if (!c.content.empty())
            writeFile("tessaro.cfg", c.content);
        const LaunchOutcome outcome = launch("cmd27601");
        EXPECT_EQ(outcome.status, LaunchStatus::SettingsFailed);
        EXPECT_EQ(outcome.settings.failure, c.failure);
        EXPECT_EQ(outcome.start.processId, 0);
        EXPECT_TRUE(state.quakeDirectory().empty());
    }
    EXPECT_TRUE(quake.records().empty());
}


// A launcher child of the test: killed and reaped however the test ends.
class LauncherProcess {
public:
    explicit LauncherProcess(pid_t pid) : m_pid(pid) {}
    LauncherProcess(const LauncherProcess &) = delete;
    LauncherProcess &operator=(const LauncherProcess &) = delete;
    ~LauncherProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    // Waits for it to end; its wait status.
    int wait()
    {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return status;
    }

private:
    pid_t m_pid;
};

TEST_F(Launching, AThousandLaunchesLeaveNoDescriptorNoChildAndNoGrowth)
{
    quake.setMode("exit");
    writeSettings(quake.quakeDirectory());
    // The servers' pids go to the fixture only after the measurements, from
    // a list reserved beforehand, so that the test's own bookkeeping does
    // not count as growth.
    constexpr int kLaunches = 1000;
    std::vector<long> servers;
    servers.reserve(kLaunches);
    const LaunchEntry &entry = *findEntry("cmd27601");
    const auto launchMany = [&](int count) {
        for (int i = 0; i < count; ++i) {
            const LaunchOutcome outcome = launchServerAndWait(state, entry);
            servers.push_back(outcome.start.processId);
            ASSERT_EQ(outcome.status, LaunchStatus::Started) << outcome.start.reason;
        }
    };
    const int descriptors = openDescriptors();
    const int children = childProcesses();
    launchMany(kLaunches / 10);  // the allocator and the library's caches settle first
    const MemoryFootprint settled = memoryFootprint();
    launchMany(kLaunches - kLaunches / 10);
    const MemoryFootprint after = memoryFootprint();
    for (long server : servers)
        quake.adopt(server);

    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_EQ(childProcesses(), children);
    EXPECT_EQ(zombieChildren(), 0);
    // A leak of a few bytes or of one stack per launch shows at once.
    const long heapGrowth = after.heapBytes - settled.heapBytes;
    const long mappedGrowth = after.mappedBytes - settled.mappedBytes;
    EXPECT_LT(heapGrowth, 4 * 1024);
    EXPECT_LT(mappedGrowth, 4 * 1024 * 1024);
    RecordProperty("heap_growth_bytes_over_900_launches", std::to_string(heapGrowth));
    RecordProperty("mapped_growth_bytes_over_900_launches", std::to_string(mappedGrowth));
}

// The launcher runs in a terminal whose window is then closed: the kernel
// hangs the terminal up, which kills the launcher and its process group.
TEST_F(Launching, TheServerOutlivesTheLaunchersTerminalAndHoldsNothingOfIt)
{
    writeSettings(quake.quakeDirectory());
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    int report[2];
    ASSERT_EQ(::pipe2(report, O_CLOEXEC), 0);

    const pid_t pid = ::fork();
    if (pid == 0) {
        // The launcher as a terminal starts it: the leader of the terminal's
        // session, its output on the terminal, and here also holding the
        // settings file open without close-on-exec.
        ::close(master);
        ::close(report[0]);
        ::setsid();
        const int tty = ::open(terminal.c_str(), O_RDWR);  // becomes the controlling terminal
        for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            ::dup2(tty, fd);
        ::close(tty);
        [[maybe_unused]] const int settingsFile = ::open("tessaro.cfg", O_RDONLY);
        const LaunchOutcome outcome = launchServerAndWait(state, *findEntry("cmd27601"));
        const std::string server = std::to_string(outcome.start.processId);
        (void)!::write(report[1], server.data(), server.size());
        ::close(report[1]);
        ::alarm(30);  // should the hang-up never come
        for (;;)
            ::pause();
    }
    LauncherProcess launcher(pid);
    ::close(report[1]);
    char buffer[32] = {};
    const ssize_t got = ::read(report[0], buffer, sizeof buffer - 1);
    ::close(report[0]);
    const long server = got > 0 ? std::atol(buffer) : 0;
    quake.adopt(server);
    ASSERT_GT(server, 0) << "the launcher started no server";
    const auto record = quake.waitForRecord(server);
    ASSERT_TRUE(record) << "the server wrote no record";

    ::close(master);  // the terminal window closes
    const int status = launcher.wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << "the launcher did not get the hang-up";
    // The hang-up reached the launcher's whole process group when it died;
    // a server still in that group would be gone within microseconds.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(processAlive(server));

    // Nothing of the launcher but its output: not the settings file, not any
    // other descriptor it held.
    std::vector<std::string> descriptors;
    std::istringstream targets(record->fields.at("fdtargets"));
    for (std::string line; std::getline(targets, line);)
        descriptors.push_back(line);
    EXPECT_EQ(descriptors, (std::vector<std::string>{"0:/dev/null", "1:" + terminal, "2:" + terminal}));
}

}  // namespace
