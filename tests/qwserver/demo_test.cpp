// scripts/demo-quake, which picks the directory scripts/start runs Tessaro
// in: the current one where settings or a Quake directory are, a demo Quake
// directory with real servers for everybody else.

#include "qwserver/expected_game_directory.h"
#include "launch/launch_state.h"
#include "qwserver/quakestat.h"
#include "demo_quake/run_program.h"
#include "qwserver/started_servers.h"
#include "qwserver/status_query.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace launch;
using namespace qwfixture;
using namespace testing_support;

namespace {

const std::string kScript = std::string(TESSARO_SOURCE_DIR) + "/scripts/demo-quake";

ProgramRun runDemoScript(const std::string &workingDirectory, const std::string &demoDirectory)
{
    return runProgram({"bash", kScript, TESSARO_BINARY_DIR, demoDirectory}, {.workingDirectory = workingDirectory});
}

TEST(DemoQuake, StartsWhereSettingsOrAQuakeDirectoryAreAndPreparesADemoElsewhere)
{
    const TempDir root;
    struct Case {
        const char *name;
        const char *fileHere;  // nullptr: an empty directory
        bool demo;
    };
    for (const Case &c : {Case{"settings here", "tessaro.cfg", false}, Case{"a Quake directory here", "qwsv", false},
                          Case{"nothing here", nullptr, true}}) {
        SCOPED_TRACE(c.name);
        const std::string here = root.file(c.name);
        const std::string demo = root.file(std::string(c.name) + " demo");
        std::filesystem::create_directory(here);
        if (c.fileHere)
            writeFile(here + "/" + c.fileHere, "mine\r\n");

        const ProgramRun run = runDemoScript(here, demo);
        ASSERT_TRUE(run.ran) << run.reason;
        ASSERT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_EQ(run.output, (c.demo ? demo : here) + "\n");
        EXPECT_EQ(exists(demo), c.demo);
        if (c.fileHere) {
            EXPECT_EQ(readFile(here + "/" + c.fileHere), "mine\r\n");
        }
        if (c.demo) {
            EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
            EXPECT_NE(run.errors.find(demo), std::string::npos) << run.errors;
            EXPECT_TRUE(exists(demo + "/tessaro.cfg"));
            EXPECT_TRUE(exists(demo + "/quake/qwsv"));
        } else {
            EXPECT_EQ(run.errors, "");
        }
    }
}

TEST(DemoQuake, TheFirstClickOnAnyGroupStartsARealServerAndAChangedDemoIsKept)
{
    const TempDir root;
    const std::string demo = root.file("demo");
    std::vector<int> ports;
    for (const LaunchGroup &group : kLaunchGroups)
        ports.push_back(group.firstPort);
    if (const auto problem = busyPortsProblem(ports))
        FAIL() << *problem;

    const ProgramRun prepared = runDemoScript(root.path(), demo);
    ASSERT_EQ(prepared.exitCode, 0) << prepared.reason << prepared.errors;

    StartedServers servers;
    {
        ScopedCurrentDirectory cd(demo);
        const settings::ReadResult demoSettings = settings::readDirectories();
        ASSERT_TRUE(demoSettings.ok()) << demoSettings.reason;
        LaunchState state;
        for (const LaunchGroup &group : kLaunchGroups) {
            const LaunchEntry &entry = entriesOfGameType(group.gameType).front();
            ServerOutputToFile output(root.file("servers.log"));
            const LaunchOutcome outcome = launchServerAndWait(state, entry);
            servers.adopt(outcome.start.processId);
            ASSERT_EQ(outcome.status, LaunchStatus::Started) << outcome.start.reason;
        }
        for (int port : ports)
            ASSERT_TRUE(waitForAnswer(port, std::chrono::seconds(10))) << port << "\n" << readFile(root.file("servers.log"));

        const QuakestatReport report = askQuakestat(ports);
        ASSERT_TRUE(report.ok()) << report.reason;
        for (const LaunchGroup &group : kLaunchGroups) {
            SCOPED_TRACE(group.firstPort);
            const QuakestatView &view = report.servers.at(group.firstPort);
            ASSERT_TRUE(view.answered) << view.state;
            EXPECT_EQ(view.rule("*gamedir"), expectedGameDirectory(group.firstPort, demoSettings.directories));
        }
    }
    servers.stopAll();

    // Applied in the demo's Configure dialog: a second start keeps it.
    writeFile(demo + "/tessaro.cfg", "quake,tf,ctf,duel,duel,duel,duel,arena,requiem\r\n");
    const ProgramRun again = runDemoScript(root.path(), demo);
    ASSERT_EQ(again.exitCode, 0) << again.errors;
    EXPECT_EQ(readFile(demo + "/tessaro.cfg"), "quake,tf,ctf,duel,duel,duel,duel,arena,requiem\r\n");
}

}  // namespace
