#include "launch/launch_state.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

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
        LaunchOutcome outcome = launchServer(state, *findEntry(button));
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

}  // namespace
