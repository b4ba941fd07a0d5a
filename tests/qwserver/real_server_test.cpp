// The launch code against a real QuakeWorld server: every button starts a
// server that answers on its own port with its own game directory.

#include "qwserver/expected_game_directory.h"
#include "launch/launch_state.h"
#include "demo_quake/quake_directory.h"
#include "qwserver/quakestat.h"
#include "demo_quake/run_program.h"
#include "qwserver/started_servers.h"
#include "qwserver/status_query.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace launch;
using namespace qwfixture;
using namespace testing_support;

namespace {

constexpr auto kAnswerTimeout = std::chrono::seconds(10);

// The ports of the 46 buttons, from the port plan.
std::vector<int> plannedPorts()
{
    std::vector<int> ports;
    for (const PortsOfOneSlot &plan : kPortPlan) {
        for (int port = plan.firstPort; port <= plan.lastPort; ++port)
            ports.push_back(port);
    }
    return ports;
}

// Nine distinct directories, so that a server reporting the wrong slot's
// game directory cannot go unnoticed.
settings::Directories distinctDirectories(const std::string &quakeDirectory)
{
    return settings::Directories({quakeDirectory, "fortress", "ctf", "duel1on1", "duel2on2", "duel3on3", "duel4on4",
                                  "arena", "requiem"});
}

class RealServer : public ::testing::Test {
protected:
    TempDir root;
    const std::string quake = root.file("quake");
    StartedServers servers;  // declared after root: stopped before their directory goes

    void SetUp() override
    {
        if (const auto problem = busyPortsProblem(plannedPorts()))
            FAIL() << *problem;
        const BuildOutcome built = buildQuakeDirectory(quake);
        ASSERT_TRUE(built.ok()) << built.reason;
    }

    LaunchOutcome launch(LaunchState &state, const LaunchEntry &entry)
    {
        ServerOutputToFile output(root.file("servers.log"));
        LaunchOutcome outcome = launchServerAndWait(state, entry);
        servers.adopt(outcome.start.processId);
        return outcome;
    }

    std::string serverLog() const { return readFile(root.file("servers.log")); }
};

TEST_F(RealServer, EveryButtonStartsAServerThatAnswersWithItsGameDirectory)
{
    ScopedCurrentDirectory cd(quake);
    const settings::Directories directories = distinctDirectories(quake);
    ASSERT_TRUE(settings::writeDirectories(directories).ok());

    LaunchState state;
    std::map<std::string, long> pidOfButton;
    for (const LaunchEntry &entry : kLaunchCatalogue) {
        const LaunchOutcome outcome = launch(state, entry);
        ASSERT_EQ(outcome.status, LaunchStatus::Started) << entry.buttonName() << ": " << outcome.start.reason;
        pidOfButton[std::string(entry.buttonName())] = outcome.start.processId;
    }

    const std::vector<int> ports = plannedPorts();
    ASSERT_EQ(ports.size(), 46u);
    for (int port : ports) {
        SCOPED_TRACE("port " + std::to_string(port));
        const auto info = waitForAnswer(port, kAnswerTimeout);
        ASSERT_TRUE(info) << "no answer; server output:\n" << serverLog();
        EXPECT_EQ(info->value("*gamedir"), expectedGameDirectory(port, directories));
        const std::string button = "cmd" + std::to_string(port);
        EXPECT_TRUE(holdsUdpPort(pidOfButton[button], port)) << "the server " << button << " started does not hold it";
    }

    const QuakestatReport report = askQuakestat(ports);
    ASSERT_TRUE(report.ok()) << report.reason;
    for (int port : ports) {
        SCOPED_TRACE("port " + std::to_string(port));
        const QuakestatView &view = report.servers.at(port);
        ASSERT_TRUE(view.answered) << view.state;
        EXPECT_EQ(view.map, "start");
        EXPECT_EQ(view.rule("*gamedir"), expectedGameDirectory(port, directories));
    }

    const std::vector<long> pids = servers.pids();
    ASSERT_EQ(pids.size(), kLaunchCatalogue.size());
    servers.stopAll();
    for (long pid : pids)
        EXPECT_FALSE(isRunning(pid)) << pid;
    EXPECT_EQ(busyPortsProblem(ports), std::nullopt);
}

TEST_F(RealServer, StartedFromAnotherDirectoryTheServersStillFindTheirGameData)
{
    // As from a desktop menu: Tessaro runs in a directory of its own, which
    // holds tessaro.cfg, and the Quake directory is elsewhere.
    const std::string spaced = root.file("Quake Files");
    ASSERT_TRUE(buildQuakeDirectory(spaced).ok());
    const std::string desktop = root.file("desktop");
    std::filesystem::create_directory(desktop);
    ScopedCurrentDirectory cd(desktop);

    struct Case {
        const char *name;
        std::string quakeSetting;
    };
    for (const Case &c : {Case{"absolute", quake}, Case{"relative to where Tessaro runs", "../quake"},
                          Case{"with a blank", spaced}}) {
        SCOPED_TRACE(c.name);
        const settings::Directories directories = distinctDirectories(c.quakeSetting);
        ASSERT_TRUE(settings::writeDirectories(directories).ok());
        LaunchState state;
        for (const char *button : {"cmd27500", "cmd27601"}) {
            const LaunchEntry &entry = *findEntry(button);
            const LaunchOutcome outcome = launch(state, entry);
            ASSERT_EQ(outcome.status, LaunchStatus::Started) << outcome.start.reason;
            const auto info = waitForAnswer(entry.port, kAnswerTimeout);
            ASSERT_TRUE(info) << button << " did not answer; server output:\n" << serverLog();
            EXPECT_EQ(info->value("*gamedir"), expectedGameDirectory(entry.port, directories)) << button;
        }
        servers.stopAll();
    }
}

TEST_F(RealServer, TheTestQwsvFindsNoGameDataOutsideItsQuakeDirectory)
{
    // The other tests prove that servers are started in the Quake directory
    // only because the wrapper does not go there by itself.
    const std::string desktop = root.file("desktop");
    std::filesystem::create_directory(desktop);
    const ProgramRun run = runProgram({quake + "/qwsv", "-port", "27500"},
                                      {.workingDirectory = desktop, .timeout = kAnswerTimeout});
    ASSERT_TRUE(run.ran) << run.reason;
    EXPECT_FALSE(run.timedOut) << "the server found its map while started in " << desktop;
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("Couldn't spawn"), std::string::npos) << run.output;
}

TEST_F(RealServer, ASecondServerOnABusyPortEndsAndTheFirstKeepsAnswering)
{
    ScopedCurrentDirectory cd(quake);
    ASSERT_TRUE(settings::writeDirectories(distinctDirectories(quake)).ok());
    LaunchState state;
    const LaunchEntry &entry = *findEntry("cmd27601");

    const LaunchOutcome first = launch(state, entry);
    ASSERT_EQ(first.status, LaunchStatus::Started) << first.start.reason;
    ASSERT_TRUE(waitForAnswer(entry.port, kAnswerTimeout)) << serverLog();

    const LaunchOutcome second = launch(state, entry);
    ASSERT_EQ(second.status, LaunchStatus::Started) << second.start.reason;
    EXPECT_NE(second.start.processId, first.start.processId);
    EXPECT_TRUE(waitUntilGone(second.start.processId, kAnswerTimeout)) << "the second server is still running";

    EXPECT_TRUE(isRunning(first.start.processId));
    const auto info = waitForAnswer(entry.port, kAnswerTimeout);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->value("*gamedir"), "fortress");
    EXPECT_TRUE(holdsUdpPort(first.start.processId, entry.port));
    EXPECT_NE(serverLog().find("Couldn't allocate server socket"), std::string::npos) << serverLog();
}

// A socket of this process bound to 127.0.0.1 or to every address.
class BoundSocket {
public:
    explicit BoundSocket(in_addr_t address) : m_fd(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_addr.s_addr = htonl(address);
        socklen_t length = sizeof where;
        if (::bind(m_fd, reinterpret_cast<sockaddr *>(&where), sizeof where) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&where), &length) == 0)
            m_port = ntohs(where.sin_port);
    }
    ~BoundSocket() { ::close(m_fd); }
    BoundSocket(const BoundSocket &) = delete;
    BoundSocket &operator=(const BoundSocket &) = delete;

    int port() const { return m_port; }

private:
    int m_fd;
    int m_port = 0;
};

TEST(PortCheck, NamesEveryPortSomebodyElseHolds)
{
    int freePort = 0;
    {
        const BoundSocket released(INADDR_LOOPBACK);
        freePort = released.port();
    }
    const BoundSocket onLoopback(INADDR_LOOPBACK);
    const BoundSocket onEveryAddress(INADDR_ANY);
    ASSERT_NE(onLoopback.port(), 0);
    ASSERT_NE(onEveryAddress.port(), 0);

    const std::vector<int> ports{onLoopback.port(), freePort, onEveryAddress.port()};
    EXPECT_EQ(busyPorts(ports), (std::vector<int>{onLoopback.port(), onEveryAddress.port()}));
    const auto problem = busyPortsProblem(ports);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find(std::to_string(onLoopback.port()) + ", " + std::to_string(onEveryAddress.port())),
              std::string::npos)
        << *problem;
    EXPECT_EQ(problem->find(std::to_string(freePort)), std::string::npos) << *problem;
    EXPECT_EQ(busyPortsProblem(std::vector<int>{freePort}), std::nullopt);
}

}  // namespace
