// Starting the server on Windows, with a stand-in qwsv.exe that writes down
// what it got: the line, its startup info, its console, its handles, its
// working directory.

#include "launch/launch_state.h"
#include "launch/process_start.h"
#include "win_api/text.h"
#include "support/windows/win_support.h"

#include <gtest/gtest.h>

#include <chrono>

#include <windows.h>

using namespace launch;
using namespace testing_support;

namespace {

// The line the server gets: the program part in double quotes, the rest as composed.
std::string expectedLine(const ServerCommand &command) { return "\"" + command.program + "\"" + command.arguments; }

class ProcessStartWin : public ::testing::Test {
protected:
    FakeQuake quake;

    StartResult start(std::string_view button, const std::string &quakeDirectory, const std::string &gameDirectory)
    {
        return quake.start(composeCommand(*findEntry(button), quakeDirectory, gameDirectory));
    }

    ServerRecord startAndRecord(FakeQuake &fixture, const ServerCommand &command)
    {
        const StartResult result = fixture.start(command);
        EXPECT_TRUE(result.started) << result.reason;
        auto record = fixture.waitForRecord(result.processId);
        EXPECT_TRUE(record) << "the server wrote no record";
        return record.value_or(ServerRecord{});
    }
    ServerRecord startAndRecord(std::string_view button, const std::string &gameDirectory)
    {
        return startAndRecord(quake, composeCommand(*findEntry(button), quake.quakeDirectory(), gameDirectory));
    }
};

TEST_F(ProcessStartWin, TheLineReachesTheServerAsComposedWithTheProgramQuoted)
{
    FakeQuake nonAscii("Qu\xC3\xA4ke \xE6\x97\xA5\xE6\x9C\xAC");
    struct Case {
        const char *name;
        FakeQuake &fixture;
        std::string quakeSuffix;  // appended to the fixture's Quake directory
        std::string_view button;
        std::string gameDirectory;
    };
    const std::vector<Case> cases = {
        {"game directory", quake, "", "cmd27601", "fortress"},
        {"plain", quake, "", "cmd27502", "ignored"},
        {"empty game directory leaves two blanks", quake, "", "cmd27700", ""},
        {"a trailing backslash doubles", quake, "\\", "cmd27400", "duel"},
        {"blanks and quotes in the game directory", quake, "", "cmd27803", "my \"big\" arena"},
        {"non-ASCII text", nonAscii, "", "cmd27900", "r\xC3\xA9quiem \xE2\x82\xAC \xF0\x9F\x98\x80"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ServerCommand command =
            composeCommand(*findEntry(c.button), c.fixture.quakeDirectory() + c.quakeSuffix, c.gameDirectory);
        const ServerRecord record = startAndRecord(c.fixture, command);
        EXPECT_EQ(record.field("line"), expectedLine(command));

        // The server's C runtime splits the line as splitArguments() says.
        std::vector<std::string> argv{command.program};
        for (const std::string &argument : splitArguments(command.arguments))
            argv.push_back(argument);
        EXPECT_EQ(record.argv, argv);
    }
    const std::string twoBlanks = expectedLine(composeCommand(*findEntry("cmd27700"), quake.quakeDirectory(), ""));
    EXPECT_NE(twoBlanks.find("\" +gamedir  -port 27700"), std::string::npos) << twoBlanks;
}

TEST_F(ProcessStartWin, TheServerIsAskedToOpenMinimisedWithoutTakingTheFocus)
{
    const ServerRecord record = startAndRecord("cmd27601", "fortress");
    EXPECT_EQ(record.field("use_show_window"), "1");
    EXPECT_EQ(record.field("show_window"), std::to_string(SW_SHOWMINNOACTIVE));
}

TEST_F(ProcessStartWin, TheServerHasAConsoleOfItsOwnMinimisedAndNotInTheForeground)
{
    if (!haveDisplay())
        GTEST_SKIP() << "Wine makes console windows only with an X display (run under xvfb-run)";
    const ServerRecord record = startAndRecord("cmd27601", "fortress");
    EXPECT_EQ(record.field("console_processes"), "1");  // not the launcher's console
    ASSERT_EQ(record.field("console_window"), "1");
    EXPECT_EQ(record.field("iconic"), "1");
    EXPECT_EQ(record.field("visible"), "1");
    EXPECT_EQ(record.field("foreground"), "0");
}

TEST_F(ProcessStartWin, TheServerRunsInTheQuakeDirectory)
{
    EXPECT_EQ(startAndRecord("cmd27601", "tf").field("cwd"), quake.quakeDirectory());

    // A relative Quake directory is taken from the launcher's current directory.
    ScopedCurrentDirectory cd(quake.root());
    const StartResult result = start("cmd27601", "quake", "tf");
    ASSERT_TRUE(result.started) << result.reason;
    EXPECT_EQ(result.workingDirectory, quake.quakeDirectory());
    const auto record = quake.waitForRecord(result.processId);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->field("cwd"), quake.quakeDirectory());
}

TEST_F(ProcessStartWin, NoHandleOfTheLauncherReachesTheServer)
{
    // An inheritable pipe: the stand-in writes to it if the handle reached it.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
    ::SetEnvironmentVariableW(L"TESSARO_RECORD_PIPE",
                              std::to_wstring(reinterpret_cast<ULONG_PTR>(writeEnd)).c_str());
    quake.setMode("exit");
    const StartResult result = start("cmd27601", quake.quakeDirectory(), "tf");
    ::SetEnvironmentVariableW(L"TESSARO_RECORD_PIPE", nullptr);
    ASSERT_TRUE(result.started) << result.reason;
    EXPECT_TRUE(quake.waitForRecord(result.processId));

    DWORD available = 0;
    ASSERT_TRUE(::PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr));
    EXPECT_EQ(available, 0u) << "the server wrote through the launcher's pipe handle";
    ::CloseHandle(readEnd);
    ::CloseHandle(writeEnd);
}

TEST_F(ProcessStartWin, TheStartReturnsAtOnceAndKeepsNoHandleToTheServer)
{
    // The stand-in stays up for a minute: the start must not wait for it.
    const auto before = std::chrono::steady_clock::now();
    const StartResult running = start("cmd27500", quake.quakeDirectory(), "");
    const auto took = std::chrono::steady_clock::now() - before;
    ASSERT_TRUE(running.started) << running.reason;
    EXPECT_LT(took, std::chrono::seconds(10));
    ASSERT_TRUE(quake.waitForRecord(running.processId));
    EXPECT_TRUE(processRunning(running.processId));

    // Once a server has ended, its id names nothing more, unless someone (a
    // launcher that forgot to close its handles) still holds it.
    quake.setMode("exit");
    const StartResult ended = start("cmd27500", quake.quakeDirectory(), "");
    ASSERT_TRUE(ended.started) << ended.reason;
    ASSERT_TRUE(quake.waitForRecord(ended.processId));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (processExists(ended.processId) && std::chrono::steady_clock::now() < deadline)
        ::Sleep(20);
    EXPECT_FALSE(processExists(ended.processId)) << "a handle to the ended server is still open";
}

TEST_F(ProcessStartWin, ABlankInTheQuakeDirectoryCannotRunAnotherProgram)
{
    // "C:\Program Files\Quake" unquoted would have the system try "C:\Program.exe" first.
    FakeQuake blank("some dir");
    copyFile(recordChildPath(), blank.file("some.exe"));
    const ServerCommand command = composeCommand(*findEntry("cmd27601"), blank.quakeDirectory(), "fortress");
    const ServerRecord record = startAndRecord(blank, command);
    EXPECT_EQ(record.field("exe"), blank.quakeDirectory() + "\\qwsv.exe");
    EXPECT_EQ(record.field("line"), expectedLine(command));
    ::Sleep(200);  // a decoy started as well would have written its record by now
    for (const auto &[pid, other] : blank.records())
        EXPECT_EQ(other.field("exe"), blank.quakeDirectory() + "\\qwsv.exe");
}

// The system's errors sorted into the kinds every platform words alike.
TEST_F(ProcessStartWin, FailuresAreSortedIntoTheirKinds)
{
    const std::string emptyQuake = quake.file("empty");
    makeDirectory(emptyQuake);
    const std::string notExecutable = quake.file("plain");
    makeDirectory(notExecutable);
    writeFile(notExecutable + "\\qwsv.exe", "not a program");
    // A server that is there, in a directory longer than Windows runs programs from.
    std::string longQuake = quake.root();
    while (longQuake.size() < 316) {
        longQuake += "\\" + std::string(40, 'l');
        makeDirectory("\\\\?\\" + longQuake);
    }
    copyFile(recordChildPath(), "\\\\?\\" + longQuake + "\\qwsv.exe");

    struct Case {
        const char *name;
        std::string quakeDirectory;
        StartFailure failure;
        std::string cause;  // a part of it
    };
    const std::vector<Case> cases = {
        {"no Quake directory set", "", StartFailure::NoQuakeDirectory, "No Quake directory is set."},
        {"missing program", emptyQuake, StartFailure::ProgramMissing, emptyQuake + "\\qwsv does not exist."},
        {"missing Quake directory", quake.file("nowhere"), StartFailure::QuakeDirectoryMissing,
         "The Quake directory " + quake.file("nowhere") + " does not exist."},
        {"not a program", notExecutable, StartFailure::NotAProgram, "is not a program for Windows."},
        {"a double quote", quake.file("a\"b"), StartFailure::QuakeDirectoryUnusable, "cannot contain a double quote"},
        {"a path too long to run", longQuake, StartFailure::PathTooLong,
         "is longer than the 259 characters that Windows runs a program from."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const StartResult result = start("cmd27601", c.quakeDirectory, "tf");
        ASSERT_FALSE(result.started);
        EXPECT_EQ(result.processId, 0);
        EXPECT_EQ(result.failure, c.failure) << result.reason;
        EXPECT_NE(result.reason.find(c.cause), std::string::npos) << result.reason;
    }
    EXPECT_TRUE(quake.records().empty());
}

TEST_F(ProcessStartWin, AButtonReadsTheSettingsAndStartsItsServer)
{
    ScopedCurrentDirectory cd(quake.root());
    settings::Directories dirs(std::array<std::string, 9>{quake.quakeDirectory(), "fortress", "ctf", "duel1", "duel2",
                                                          "duel3", "duel4", "arena", "requiem"});
    ASSERT_TRUE(settings::writeDirectories(dirs).ok());

    LaunchState state;
    quake.select();
    LaunchOutcome outcome = launchServerAndWait(state, *findEntry("cmd27601"));
    if (outcome.status == LaunchStatus::StartFailed && underWine()
        && outcome.start.reason.find(win_api::systemMessage(ERROR_INTERNAL_ERROR)) != std::string::npos)
        outcome = launchServerAndWait(state, *findEntry("cmd27601"));  // see startServerForTest()
    quake.adopt(outcome.start.processId);
    ASSERT_EQ(outcome.status, LaunchStatus::Started) << outcome.start.reason;
    EXPECT_EQ(outcome.commandLine, quake.quakeDirectory() + "\\qwsv +gamedir fortress -port 27601");
    const auto record = quake.waitForRecord(outcome.start.processId);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->field("line"), "\"" + quake.quakeDirectory() + "\\qwsv\" +gamedir fortress -port 27601");
}

}  // namespace
