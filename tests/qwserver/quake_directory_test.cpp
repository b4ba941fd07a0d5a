// The generator of the test and demo Quake directory: what it says when it
// cannot do its job, and that rebuilding an existing directory is safe.

#include "demo_quake/quake_directory.h"
#include "demo_quake/run_program.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

using namespace qwfixture;
using namespace testing_support;

namespace {

std::string projectQuakeC() { return readFile(defaultQcSource()); }

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    const auto at = text.find(from);
    if (at == std::string::npos)
        throw std::runtime_error("qwprogs.qc no longer holds " + from);
    return text.replace(at, from.size(), to);
}

TEST(QuakeDirectory, SaysWhyItCannotBeBuilt)
{
    const TempDir root;
    writeFile(root.file("broken.qc"), projectQuakeC() + "\nvoid() broken = { undefined_thing = 1; };\n");
    // One system field fewer changes the checksum every QuakeWorld server checks.
    writeFile(root.file("foreign.qc"), replaced(projectQuakeC(), ".float frags;", ""));
    writeFile(root.file("in-the-way"), "a file where the directory should be");

    struct Case {
        const char *name;
        std::string directory;
        QuakeDirectoryOptions options;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"no server program", root.file("a"), {.server = root.file("no-mvdsv")}, "no-mvdsv is not installed"},
        {"no compiler", root.file("b"), {.compiler = root.file("no-fteqcc")}, "the QuakeC compiler cannot run"},
        {"no QuakeC source", root.file("c"), {.qcSource = root.file("none.qc")}, "cannot read the QuakeC source"},
        {"QuakeC that does not compile", root.file("d"), {.qcSource = root.file("broken.qc")},
         "error: Unknown value \"undefined_thing\""},
        {"QuakeC for another game", root.file("e"), {.qcSource = root.file("foreign.qc")},
         "QuakeWorld servers load only 54730"},
        {"a file in the way", root.file("in-the-way"), {}, "Cannot build the Quake directory " + root.file("in-the-way")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const BuildOutcome outcome = buildQuakeDirectory(c.directory, c.options);
        EXPECT_FALSE(outcome.ok());
        EXPECT_NE(outcome.reason.find(c.reason), std::string::npos) << outcome.reason;
        EXPECT_TRUE(outcome.written.empty());
        EXPECT_FALSE(exists(c.directory + "/qwsv"));
    }
}

TEST(QuakeDirectory, RebuildingLeavesGoodFilesAloneAndRepairsDamagedOnes)
{
    const TempDir root;
    const std::string quake = root.file("quake");
    const BuildOutcome first = buildQuakeDirectory(quake);
    ASSERT_TRUE(first.ok()) << first.reason;
    EXPECT_EQ(first.written.size(), 3u);

    const BuildOutcome again = buildQuakeDirectory(quake);
    ASSERT_TRUE(again.ok()) << again.reason;
    EXPECT_TRUE(again.written.empty());

    const std::string map = quake + "/id1/maps/start.bsp";
    const std::string intact = readFile(map);
    std::filesystem::resize_file(map, 100);
    ::chmod((quake + "/qwsv").c_str(), 0644);

    const BuildOutcome repaired = buildQuakeDirectory(quake);
    ASSERT_TRUE(repaired.ok()) << repaired.reason;
    EXPECT_EQ(repaired.written, std::vector<std::string>{map});
    EXPECT_EQ(readFile(map), intact);
    struct stat status {};
    ASSERT_EQ(::stat((quake + "/qwsv").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0755u);
}

TEST(QuakeDirectory, TheWrapperHandsEverythingOnAndStaysWhereItWasStarted)
{
    // A stand-in server that tells where it runs and what it was given, at a
    // path the wrapper has to quote.
    const TempDir root;
    const std::string serverDirectory = root.file("it's here");
    std::filesystem::create_directory(serverDirectory);
    const std::string server = serverDirectory + "/server";
    writeFile(server, "#!/bin/sh\nprintf '%s\\n' \"$(pwd -P)\" \"$@\"\n");
    ::chmod(server.c_str(), 0755);
    const std::string quake = root.file("quake");
    ASSERT_TRUE(buildQuakeDirectory(quake, {.server = server}).ok());
    const std::string elsewhere = root.file("elsewhere");
    std::filesystem::create_directory(elsewhere);

    const ProgramRun run = runProgram({quake + "/qwsv", "+gamedir", "two words", "-port", "27601"},
                                      {.workingDirectory = elsewhere});
    ASSERT_TRUE(run.ran) << run.reason;
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.output, elsewhere + "\n-ip\n127.0.0.1\n+gamedir\ntwo words\n-port\n27601\n");
}

}  // namespace
