#include "launch/process_start.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace launch;
using namespace testing_support;

namespace {

class ProcessStart : public ::testing::Test {
protected:
    FakeQuake quake;

    StartResult start(std::string_view button, const std::string &quakeDirectory, const std::string &gameDirectory)
    {
        StartResult result = startServer(composeCommand(*findEntry(button), quakeDirectory, gameDirectory));
        quake.adopt(result.processId);
        return result;
    }

    ServerRecord startAndRecord(std::string_view button, const std::string &gameDirectory)
    {
        const StartResult result = start(button, quake.quakeDirectory(), gameDirectory);
        EXPECT_TRUE(result.started) << result.reason;
        auto record = quake.waitForRecord(result.processId);
        EXPECT_TRUE(record) << "the server wrote no record";
        return record.value_or(ServerRecord{});
    }
};

TEST_F(ProcessStart, TheServerGetsTheArgumentsItWouldGetOnWindows)
{
    struct Case {
        const char *name;
        std::string_view button;
        std::string gameDirectory;
        std::vector<std::string> arguments;
    };
    const std::vector<Case> cases = {
        {"game directory", "cmd27601", "fortress", {"+gamedir", "fortress", "-port", "27601"}},
        {"plain", "cmd27502", "ignored", {"-port", "27502"}},
        {"empty game directory", "cmd27700", "", {"+gamedir", "-port", "27700"}},
        {"blanks split the game directory", "cmd27400", "my duel", {"+gamedir", "my", "duel", "-port", "27400"}},
        {"no shell ever sees the line", "cmd27803", "x; touch PWNED $(touch PWNED2)",
         {"+gamedir", "x;", "touch", "PWNED", "$(touch", "PWNED2)", "-port", "27803"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ServerRecord record = startAndRecord(c.button, c.gameDirectory);
        std::vector<std::string> expected{quake.quakeDirectory() + "/qwsv"};
        expected.insert(expected.end(), c.arguments.begin(), c.arguments.end());
        EXPECT_EQ(record.argv, expected);
    }
    for (const char *planted : {"PWNED", "PWNED2"}) {
        EXPECT_FALSE(exists(quake.quakeDirectory() + "/" + planted));
        EXPECT_FALSE(exists(planted));
    }
}

TEST_F(ProcessStart, TheServerRunsDetachedInTheQuakeDirectoryWithNothingOfTheLauncher)
{
    // A descriptor the launcher holds open without close-on-exec must not reach the server.
    const int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 3);
    const ServerRecord record = startAndRecord("cmd27601", "fortress");
    ::close(leaky);

    EXPECT_EQ(record.fields.at("cwd"), quake.quakeDirectory());
    EXPECT_EQ(record.fields.at("stdin"), "/dev/null");
    EXPECT_EQ(record.fields.at("fds"), "0,1,2");
    EXPECT_NE(record.fields.at("sid"), std::to_string(::getsid(0)));
    EXPECT_NE(record.fields.at("pgid"), std::to_string(::getpgid(0)));
}

TEST_F(ProcessStart, ARelativeQuakeDirectoryIsResolvedAgainstTheLaunchersDirectory)
{
    ScopedCurrentDirectory cd(quake.root());
    const StartResult result = start("cmd27601", "quake", "tf");
    ASSERT_TRUE(result.started) << result.reason;
    const auto record = quake.waitForRecord(result.processId);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->fields.at("cwd"), quake.quakeDirectory());
}

TEST_F(ProcessStart, TheServerOutlivesTheLauncher)
{
    // The launcher is a child that starts a server and exits at once.
    const auto outcome = runInChild([&] {
        const StartResult result = startServer(composeCommand(*findEntry("cmd27500"), quake.quakeDirectory(), ""));
        return std::to_string(result.processId);
    });
    const long server = std::stol(outcome.output.empty() ? "0" : outcome.output);
    quake.adopt(server);
    ASSERT_GT(server, 0);
    ASSERT_TRUE(quake.waitForRecord(server));
    EXPECT_TRUE(processAlive(server));
}

TEST_F(ProcessStart, FailuresAreReportedWithTheirReason)
{
    const std::string notExecutable = quake.root() + "/plain";
    std::filesystem::create_directory(notExecutable);
    writeFile(notExecutable + "/qwsv", "not a program");
    ::chmod((notExecutable + "/qwsv").c_str(), 0644);

    const std::string noInterpreter = quake.root() + "/script";
    std::filesystem::create_directory(noInterpreter);
    writeFile(noInterpreter + "/qwsv", "#!/no/such/interpreter\n");
    ::chmod((noInterpreter + "/qwsv").c_str(), 0755);

    const std::string emptyQuake = quake.root() + "/empty";
    std::filesystem::create_directory(emptyQuake);

    struct Case {
        const char *name;
        std::string quakeDirectory;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"missing program", emptyQuake, emptyQuake + "/qwsv does not exist."},
        {"missing Quake directory", quake.root() + "/nowhere",
         "The Quake directory " + quake.root() + "/nowhere does not exist."},
        {"not executable", notExecutable, notExecutable + "/qwsv cannot be run: Permission denied"},
        {"missing interpreter", noInterpreter, "the interpreter named in its first line does not exist"},
    };
    const bool root = runningAsRoot();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto outcome = runInChild(
            [&] {
                const StartResult result = startServer(composeCommand(*findEntry("cmd27601"), c.quakeDirectory, "tf"));
                return (result.started ? "started " : "failed ") + result.program + "|" + result.reason;
            },
            {.unprivileged = root});
        EXPECT_EQ(outcome.output.rfind("failed " + c.quakeDirectory + "/qwsv|", 0), 0u) << outcome.output;
        EXPECT_NE(outcome.output.find(c.reason), std::string::npos) << outcome.output;
    }
    EXPECT_TRUE(quake.records().empty());
}

TEST_F(ProcessStart, ManyLaunchesLeaveNoZombieAndNoDescriptor)
{
    quake.setMode("exit");
    const auto countDescriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    const auto before = countDescriptors();
    for (int i = 0; i < 50; ++i) {
        const StartResult result = start("cmd27500", quake.quakeDirectory(), "");
        ASSERT_TRUE(result.started) << result.reason;
    }
    EXPECT_EQ(countDescriptors(), before);
    EXPECT_EQ(zombieChildren(), 0);
}

}  // namespace

namespace {

// An xterm that writes down how it was called and runs what follows -e, as
// the real one does, so that the choice of console is seen without a display.
class ConsoleChoice : public ::testing::Test {
protected:
    FakeQuake quake;
    TempDir bin;
    std::string xtermRecord = quake.recordDirectory() + "/xterm.args";

    void SetUp() override
    {
        writeFile(bin.file("xterm"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$FAKE_QWSV_RECORD_DIR/xterm.args\"\n"
                                     "while [ \"$1\" != -e ]; do shift; done\nshift\nexec \"$@\"\n");
        ::chmod(bin.file("xterm").c_str(), 0755);
    }
};

TEST_F(ConsoleChoice, AServerGetsAConsoleWindowOnlyWithADisplayAndAnXterm)
{
    struct Case {
        const char *name;
        std::optional<std::string> display;
        std::string path;
        bool console;
    };
    const std::vector<Case> cases = {
        {"display and xterm", ":7", "/nowhere:" + bin.path() + ":/usr/bin:/bin", true},
        {"no display", std::nullopt, bin.path() + ":/usr/bin:/bin", false},
        {"empty display", "", bin.path() + ":/usr/bin:/bin", false},
        {"no xterm on the path", ":7", "/nowhere", false},
        {"an xterm only in the current directory", ":7", ":.", false},
    };
    ScopedCurrentDirectory cd(bin.path());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(xtermRecord);
        ScopedEnvironment display("DISPLAY", c.display);
        ScopedEnvironment path("PATH", c.path);
        const ServerCommand command = composeCommand(*findEntry("cmd27601"), quake.quakeDirectory(), "fortress");
        const StartResult result = startServer(command);
        ASSERT_TRUE(result.started) << result.reason;
        EXPECT_EQ(result.console, c.console);

        // With a console the launcher learns the console's pid; the record names the server's.
        std::optional<ServerRecord> record;
        for (int i = 0; i < 500 && !record; ++i) {
            for (const auto &[pid, found] : quake.records())
                record = found;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_TRUE(record);
        quake.adopt(std::stol(record->fields.at("pid")));
        EXPECT_EQ(record->argv, (std::vector<std::string>{quake.quakeDirectory() + "/qwsv", "+gamedir", "fortress",
                                                          "-port", "27601"}));
        EXPECT_EQ(record->fields.at("cwd"), quake.quakeDirectory());
        if (c.console) {
            EXPECT_EQ(readFile(xtermRecord), "-iconic\n-T\n" + command.line() + "\n-n\n" + command.line() + "\n-e\n"
                                                 + quake.quakeDirectory() + "/qwsv\n+gamedir\nfortress\n-port\n27601\n");
        } else {
            EXPECT_FALSE(exists(xtermRecord));
            EXPECT_EQ(record->fields.at("stdin"), "/dev/null");
        }
        stopProcess(std::stol(record->fields.at("pid")));
        std::filesystem::remove(quake.recordDirectory() + "/" + record->fields.at("pid") + ".record");
    }
}

TEST_F(ConsoleChoice, WhatCannotRunIsReportedBeforeAnyWindowOpens)
{
    ScopedEnvironment display("DISPLAY", ":7");
    ScopedEnvironment path("PATH", bin.path());
    const std::string notAProgram = quake.root() + "/text";
    std::filesystem::create_directory(notAProgram);
    writeFile(notAProgram + "/qwsv", "echo this would need a shell\n");
    ::chmod((notAProgram + "/qwsv").c_str(), 0755);
    const std::string script = quake.root() + "/script";
    std::filesystem::create_directory(script);
    writeFile(script + "/qwsv", "#!/no/such/interpreter -x\n");
    ::chmod((script + "/qwsv").c_str(), 0755);

    struct Case {
        const char *name;
        std::string quakeDirectory;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"no Quake directory", quake.root() + "/nowhere", "does not exist"},
        {"no qwsv", bin.path(), bin.path() + "/qwsv does not exist."},
        {"not a program", notAProgram, "cannot be run: Exec format error"},
        {"no interpreter", script, "the interpreter named in its first line does not exist"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const StartResult result = startServer(composeCommand(*findEntry("cmd27500"), c.quakeDirectory, ""));
        EXPECT_FALSE(result.started);
        EXPECT_NE(result.reason.find(c.reason), std::string::npos) << result.reason;
    }
    EXPECT_FALSE(exists(xtermRecord));
}

}  // namespace
