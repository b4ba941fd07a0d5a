#include "launch/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace launch;

namespace {

const LaunchEntry &entry(std::string_view name) { return *findEntry(name); }

TEST(ComposeCommand, LinesAreJoinedExactlyAsTheyAre)
{
    struct Case {
        const char *name;
        std::string_view button;
        std::string quake;
        std::string game;
        std::string line;
        std::string shortName;  // port first, for a task bar
    };
    const std::vector<Case> cases = {
        {"game directory form", "cmd27601", "C:\\Quake", "fortress", "C:\\Quake\\qwsv +gamedir fortress -port 27601",
         "27601 fortress"},
        {"plain form ignores the game directory", "cmd27502", "C:\\Quake", "C:\\Quake",
         "C:\\Quake\\qwsv -port 27502", "27502"},
        {"empty game directory leaves two blanks", "cmd27700", "/srv/quake", "",
         "/srv/quake\\qwsv +gamedir  -port 27700", "27700"},
        {"trailing backslash doubles", "cmd27400", "C:\\Quake\\", "duel", "C:\\Quake\\\\qwsv +gamedir duel -port 27400",
         "27400 duel"},
        {"empty Quake directory", "cmd27500", "", "", "\\qwsv -port 27500", "27500"},
        {"blanks are not quoted", "cmd27803", "C:\\Program Files\\Quake", " my arena ",
         "C:\\Program Files\\Quake\\qwsv +gamedir  my arena  -port 27803", "27803  my arena "},
        {"quotes pass through", "cmd27900", "q", "\"re quiem\"", "q\\qwsv +gamedir \"re quiem\" -port 27900",
         "27900 \"re quiem\""},
    };
    for (const Case &c : cases) {
        const ServerCommand command = composeCommand(entry(c.button), c.quake, c.game);
        EXPECT_EQ(command.line(), c.line) << c.name;
        EXPECT_EQ(command.program, c.quake + "\\qwsv") << c.name;
        EXPECT_EQ(command.shortName, c.shortName) << c.name;
    }
}

TEST(SplitArguments, FollowsTheMicrosoftRuntime)
{
    struct Case {
        std::string line;
        std::vector<std::string> arguments;
    };
    const std::vector<Case> cases = {
        {" +gamedir fortress -port 27601", {"+gamedir", "fortress", "-port", "27601"}},
        {" +gamedir  -port 27700", {"+gamedir", "-port", "27700"}},
        {" +gamedir my arena -port 1", {"+gamedir", "my", "arena", "-port", "1"}},
        {"\t a\t\tb ", {"a", "b"}},
        {" \"my arena\" x", {"my arena", "x"}},
        {" a\"b c\"d", {"ab cd"}},
        {" \"\"", {""}},
        {" \"\" -port", {"", "-port"}},
        {" a\\b\\\\c", {"a\\b\\\\c"}},
        {" a\\\"b", {"a\"b"}},
        {" a\\\\\"b c\"", {"a\\b c"}},
        {" a\\\\\\\"b", {"a\\\"b"}},
        {" \"a\"\"b\" c", {"a\"b", "c"}},
        {" \"unclosed -port 5", {"unclosed -port 5"}},
        {" x; touch PWNED", {"x;", "touch", "PWNED"}},
        {"", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(splitArguments(c.line), c.arguments) << "[" << c.line << "]";
}

TEST(ToInvocation, TheQuakeDirectoryIsTakenWholeAndMadeAbsolute)
{
    struct Case {
        const char *name;
        std::string quake;
        std::string program;
        std::string workingDirectory;
    };
    const std::vector<Case> cases = {
        {"absolute", "/srv/quake", "/srv/quake/qwsv", "/srv/quake"},
        {"blanks are not split", "/srv/my quake", "/srv/my quake/qwsv", "/srv/my quake"},
        {"relative to the launcher", "games/quake", "/home/op/games/quake/qwsv", "/home/op/games/quake"},
        {"trailing slash", "/srv/quake/", "/srv/quake/qwsv", "/srv/quake/"},
        {"empty is the root", "", "/qwsv", "/"},
    };
    for (const Case &c : cases) {
        const ServerCommand command = composeCommand(entry("cmd27601"), c.quake, "my fortress");
        const ProgramInvocation invocation = toInvocation(command, "/home/op");
        EXPECT_EQ(invocation.program, c.program) << c.name;
        EXPECT_EQ(invocation.workingDirectory, c.workingDirectory) << c.name;
        EXPECT_EQ(invocation.argv,
                  (std::vector<std::string>{c.program, "+gamedir", "my", "fortress", "-port", "27601"}))
            << c.name;
    }
}

}  // namespace
