#include "launch/launch_state.h"
#include "launch/process_start.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include <elf.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/mount.h>
#include <sys/resource.h>
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

// Tessaro has the kernel reap its children, and then starts a server
// without a go-between: it is the server's parent until it ends.
TEST_F(ProcessStart, StartedDirectlyTheServerKeepsEveryGuarantee)
{
    const auto outcome = runInChild([&] {
        reapChildrenAutomatically();
        const auto start = [&](const std::string &quakeDirectory) {
            return startServer(composeCommand(*findEntry("cmd27601"), quakeDirectory, "tf"));
        };
        std::vector<long> ended;
        ::setenv("FAKE_QWSV_MODE", "exit", 1);
        for (int i = 0; i < 20; ++i)
            ended.push_back(start(quake.quakeDirectory()).processId);
        ::unsetenv("FAKE_QWSV_MODE");
        const StartResult stays = start(quake.quakeDirectory());
        const StartResult missing = start(quake.root() + "/nowhere");
        for (long pid : ended) {
            for (int i = 0; i < 400 && processAlive(pid); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::ifstream stat("/proc/" + std::to_string(stays.processId) + "/stat");
        std::string line;
        std::getline(stat, line);
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string state, parent;
        fields >> state >> parent;
        return std::to_string(stays.processId) + " " + std::to_string(parent == std::to_string(::getpid())) + " "
            + std::to_string(zombieChildren()) + " " + std::to_string(static_cast<int>(missing.failure));
    });
    std::istringstream fields(outcome.output);
    long server = 0;
    int direct = 0, zombies = -1, missing = -1;
    fields >> server >> direct >> zombies >> missing;
    quake.adopt(server);
    EXPECT_EQ(direct, 1) << "started through a go-between";
    EXPECT_EQ(zombies, 0);
    EXPECT_EQ(missing, static_cast<int>(StartFailure::QuakeDirectoryMissing));
    const auto record = quake.waitForRecord(server);
    ASSERT_TRUE(record);
    EXPECT_TRUE(processAlive(server)) << "the server ended with its launcher";
    EXPECT_EQ(record->fields.at("sid"), record->fields.at("pid"));
    EXPECT_EQ(record->fields.at("fds"), "0,1,2");
}

// Started without 0, 1 and 2, the launcher's next files (an X connection,
// an eventfd, close-on-exec as Qt's are) take their numbers.
TEST_F(ProcessStart, ALauncherStartedWithoutStandardDescriptorsHandsTheServerNoneOfItsFiles)
{
    for (const bool ensured : {true, false}) {
        SCOPED_TRACE(ensured ? "descriptors ensured at the start" : "the launch alone");
        const auto outcome = runInChild([&] {
            for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
                ::close(fd);
            if (ensured)
                ensureStandardDescriptors();
            std::string own;
            std::error_code closed;
            for (const char *fd : {"0", "1", "2"})
                own += std::filesystem::read_symlink(std::string("/proc/self/fd/") + fd, closed).string() + ",";
            for (int i = 0; i < 3; ++i)
                ::eventfd(0, EFD_CLOEXEC);
            const StartResult result = startServer(composeCommand(*findEntry("cmd27500"), quake.quakeDirectory(), ""));
            return std::to_string(result.processId) + " " + own;
        });
        std::istringstream fields(outcome.output);
        long server = 0;
        std::string own;
        fields >> server >> own;
        quake.adopt(server);
        const auto record = quake.waitForRecord(server);
        ASSERT_TRUE(record) << outcome.output;
        EXPECT_EQ(record->fields.at("fdtargets"), "0:/dev/null\n1:/dev/null\n2:/dev/null");
        if (ensured) {
            EXPECT_EQ(own, "/dev/null,/dev/null,/dev/null,");
        }
    }
}

}  // namespace

namespace {


// A copy of the stand-in server with its ELF header changed by `patch`:
// what an old 32-bit server, or one for another processor, is to the kernel.
std::string patchedServer(const std::string &directory, const std::function<void(std::string &)> &patch)
{
    std::filesystem::create_directory(directory);
    std::string elf = readFile(fakeQwsvPath());
    patch(elf);
    writeFile(directory + "/qwsv", elf);
    ::chmod((directory + "/qwsv").c_str(), 0755);
    return directory;
}

constexpr const char *kMissingLoader = "/lib/no-such-loader.so";

void nameAMissingLoader(std::string &elf)
{
    Elf64_Ehdr header;
    std::memcpy(&header, elf.data(), sizeof header);
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment;
        std::memcpy(&segment, elf.data() + header.e_phoff + i * header.e_phentsize, sizeof segment);
        if (segment.p_type == PT_INTERP) {
            std::fill_n(elf.begin() + static_cast<long>(segment.p_offset), segment.p_filesz, '\0');
            elf.replace(segment.p_offset, std::strlen(kMissingLoader), kMissingLoader);
        }
    }
}

void nameAnotherProcessor(std::string &elf)
{
    const Elf64_Half vax = EM_VAX;  // one that no emulator on the machine is likely to take
    std::memcpy(elf.data() + offsetof(Elf64_Ehdr, e_machine), &vax, sizeof vax);
}

class ConsoleChoice : public ::testing::Test {
protected:
    FakeQuake quake;
    FakeXterm xterm{quake.recordDirectory()};

    // A console is on offer: a display and an xterm.
    void offerConsole(std::optional<ScopedEnvironment> &display, std::optional<ScopedEnvironment> &path)
    {
        display.emplace("DISPLAY", kNobodysDisplay);
        path.emplace("PATH", xterm.directory() + ":/usr/bin:/bin");
    }
};

// The go-between xterm runs, beside the test program as beside Tessaro.
std::string consoleProgram() { return std::filesystem::canonical("/proc/self/exe").parent_path() / "tessaro-console"; }

TEST_F(ConsoleChoice, AServerGetsAConsoleWindowOnlyWhereOneCanBeShown)
{
    const std::string realXterm = "/usr/bin/xterm";
    const std::string offered = xterm.directory() + ":/usr/bin:/bin";
    struct Case {
        const char *name;
        std::optional<std::string> display;
        std::string path;
        bool console;
        const char *xtermMode = "";
    };
    std::vector<Case> cases = {
        {"display and xterm", kNobodysDisplay, "/nowhere:" + offered, true},
        {"no display", std::nullopt, offered, false},
        {"empty display", "", offered, false},
        {"no xterm on the path", kNobodysDisplay, "/nowhere", false},
        {"an xterm only in the current directory", kNobodysDisplay, ":.", false},
        {"an xterm that ends without showing a window", kNobodysDisplay, offered, false, "dead"},
        {"an xterm whose window never comes", kNobodysDisplay, offered, false, "silent"},
    };
    if (exists(realXterm))
        cases.push_back({"a display that nobody serves", kNobodysDisplay, "/usr/bin:/bin", false});
    ScopedCurrentDirectory cd(xterm.directory());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        xterm.forget();
        ScopedEnvironment display("DISPLAY", c.display);
        ScopedEnvironment path("PATH", c.path);
        ScopedEnvironment mode("FAKE_XTERM_MODE", c.xtermMode);
        const ServerCommand command = composeCommand(*findEntry("cmd27601"), quake.quakeDirectory(), "fortress");
        const std::size_t servers = quake.records().size();
        const int descriptors = openDescriptors();
        const StartResult result = startServer(command);
        quake.adopt(result.processId);
        ASSERT_TRUE(result.started) << result.reason;
        EXPECT_EQ(result.console, c.console);
        EXPECT_EQ(openDescriptors(), descriptors) << "the start kept a descriptor";
        const auto record = quake.waitForRecord(result.processId);
        ASSERT_TRUE(record);
        const std::string line = quake.quakeDirectory() + "/qwsv +gamedir fortress -port 27601";
        EXPECT_EQ(record->argv, (std::vector<std::string>{quake.quakeDirectory() + "/qwsv", "+gamedir", "fortress",
                                                          "-port", "27601"}));
        EXPECT_EQ(record->fields.at("cwd"), quake.quakeDirectory());
        if (!c.console) {
            // A window that was not given its server is gone: exactly one server, detached.
            EXPECT_TRUE(waitUntil([&] { return !processAlive(xterm.pid()); }));
            EXPECT_EQ(record->fields.at("stdin"), "/dev/null");
            EXPECT_EQ(quake.records().size(), servers + 1);
            continue;
        }
        EXPECT_EQ(xterm.arguments(), "-iconic\n-T\n27601 fortress (starting)\n-n\n27601 fortress (starting)\n-e\n"
                                         + consoleProgram() + "\n3\n27601\n27601 fortress\n" + quake.quakeDirectory()
                                         + "\n--\n" + quake.quakeDirectory() + "/qwsv\n+gamedir\nfortress\n-port\n27601\n");
        // Started by the console, which xterm's program became, with nothing of either but 0 to 2.
        const std::string status = readFile("/proc/" + std::to_string(result.processId) + "/status");
        EXPECT_NE(status.find("\nPPid:\t" + std::to_string(xterm.pid()) + "\n"), std::string::npos) << status;
        const std::string screen = quake.recordDirectory() + "/xterm.screen";
        EXPECT_EQ(record->fields.at("fdtargets"), "0:/dev/null\n1:" + screen + "\n2:" + screen);
        EXPECT_TRUE(waitUntil([&] { return xterm.screen().find("\033]2;" + line + "\a\033]1;27601 fortress\a") != std::string::npos; }))
            << xterm.screen();
    }
}

// Each fault made for real, as a host meets it: whatever keeps the server
// from running is seen in the exec's own result, the same with a console as
// without, leaves no window behind, and is worded with its own advice.
TEST_F(ConsoleChoice, EveryStartFailureIsReportedWithItsCauseAndAdvice)
{
    const std::string root = quake.root();
    const auto directoryWith = [&](const std::string &name, const std::string &qwsv, mode_t mode) {
        std::filesystem::create_directory(root + "/" + name);
        writeFile(root + "/" + name + "/qwsv", qwsv);
        ::chmod((root + "/" + name + "/qwsv").c_str(), mode);
        return root + "/" + name;
    };
    const auto made = [&](const std::string &name, const std::function<void(const std::string &)> &make) {
        std::filesystem::create_directory(root + "/" + name);
        make(root + "/" + name);
        return root + "/" + name;
    };
    const std::string noexec = root + "/noexec";
    const std::string gone = root + "/gone";
    writeFile(root + "/interpreter", "not a program");
    // A directory that is there, whose qwsv's path is longer than the system takes.
    std::string deep = root;
    while (deep.size() + 2 * std::strlen("/deeper") < PATH_MAX)
        deep += "/deeper";
    deep += "/" + std::string(PATH_MAX - std::strlen("/qwsv") - deep.size() - 1, 'd');
    std::filesystem::create_directories(deep);
    struct Fault {
        const char *name;
        std::string quakeDirectory;
        StartFailure failure;
        std::string detail;  // a part of what the failure names besides the program and directory
        std::string advice;  // a part of the advice
        std::function<bool()> inLauncher = [] { return true; };  // false: the fault cannot be made here
        bool asRoot = false;
    };
    const std::vector<Fault> faults = {
        {"no Quake directory set", "", StartFailure::NoQuakeDirectory, "", "holds qwsv under Quake Directory"},
        {"Quake directory missing", root + "/nowhere", StartFailure::QuakeDirectoryMissing, "",
         "Correct the Quake Directory in Configure"},
        {"Quake directory is a file", root + "/interpreter", StartFailure::QuakeDirectoryNotADirectory, "",
         "give the directory that holds qwsv"},
        {"Quake directory closed to the user", made("closed", [](auto &d) { ::chmod(d.c_str(), 0600); }),
         StartFailure::QuakeDirectoryNotEnterable, "", "chmod a+rx " + root + "/closed"},
        {"Quake directory on a noexec mount", noexec, StartFailure::QuakeDirectoryNoExec, noexec,
         "mount -o remount,exec " + noexec,
         [&] {
             std::filesystem::create_directory(noexec);
             return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
                 && ::mount("tmpfs", noexec.c_str(), "tmpfs", MS_NOEXEC, nullptr) == 0
                 && std::filesystem::copy_file(fakeQwsvPath(), noexec + "/qwsv");
         },
         true},
        {"qwsv missing", made("empty", [](auto &) {}), StartFailure::ProgramMissing, "",
         "ln -s /usr/games/mvdsv " + root + "/empty/qwsv"},
        {"only the Windows server", made("windows-only", [](auto &d) { writeFile(d + "/QWSV.EXE", "MZ"); }),
         StartFailure::WindowsServerOnly, root + "/windows-only/QWSV.EXE",
         "ln -s /usr/games/mvdsv " + root + "/windows-only/qwsv"},
        {"a Windows path", "C:\\Quake", StartFailure::QuakeDirectoryWindowsPath, "C:\\Quake",
         "under Quake Directory in Configure"},
        {"a path longer than a program runs from", deep,
         StartFailure::PathTooLong, "4095", "Move the Quake directory to a place with a shorter path"},
        {"qwsv a broken link", made("link", [](auto &d) { ::symlink("/usr/games/no-such-mvdsv", (d + "/qwsv").c_str()); }),
         StartFailure::ProgramLinkBroken, "/usr/games/no-such-mvdsv", "apt install mvdsv"},
        {"qwsv a directory", made("directory", [](auto &d) { std::filesystem::create_directory(d + "/qwsv"); }),
         StartFailure::ProgramIsDirectory, "", "move the directory away"},
        {"qwsv not executable", directoryWith("plain", "not a program", 0644), StartFailure::ProgramNotExecutable, "",
         "chmod +x " + root + "/plain/qwsv"},
        {"a Windows qwsv.exe", directoryWith("windows", std::string("MZ\x90\0\3\0\0\0", 8), 0755),
         StartFailure::NotAProgram, "", "ln -sf /usr/games/mvdsv " + root + "/windows/qwsv"},
        {"an old 32-bit server without its loader", patchedServer(root + "/old", nameAMissingLoader),
         StartFailure::LoaderMissing, kMissingLoader, "apt install libc6:i386"},
        {"a server for another processor", patchedServer(root + "/foreign", nameAnotherProcessor),
         StartFailure::ForeignArchitecture, "another processor", "apt install mvdsv"},
        {"a script without its interpreter", directoryWith("script", "#!/no/such/interpreter -x\n", 0755),
         StartFailure::InterpreterMissing, "/no/such/interpreter", "correct the first line of"},
        {"a script whose interpreter cannot run", directoryWith("script2", "#!" + root + "/interpreter\n", 0755),
         StartFailure::InterpreterNotExecutable, root + "/interpreter", "chmod +x " + root + "/interpreter"},
        {"Tessaro's directory deleted", "quake", StartFailure::WorkingDirectoryDeleted, gone, "start it again",
         [&] {
             std::filesystem::create_directory(gone);
             return ::chdir(gone.c_str()) == 0 && ::rmdir(gone.c_str()) == 0;
         },
         true},
        {"an environment larger than a start takes", quake.quakeDirectory(), StartFailure::EnvironmentTooLarge, "",
         "without the large variables",
         [] { return ::setenv("TESSARO_LARGE", std::string(200 * 1024, 'x').c_str(), 1) == 0; }},
        {"no process to spare", quake.quakeDirectory(), StartFailure::SystemRefused, std::strerror(EAGAIN),
         "end some programs", [] {
             const rlimit none{0, 0};
             return ::setrlimit(RLIMIT_NPROC, &none) == 0;
         }},
    };
    for (const bool console : {false, true}) {
        std::optional<ScopedEnvironment> display, path;
        if (console)
            offerConsole(display, path);
        for (const Fault &fault : faults) {
            SCOPED_TRACE(std::string(fault.name) + (console ? " in a console" : " detached"));
            xterm.forget();
            writeFile(root + "/tessaro.cfg", fault.quakeDirectory + ",tf,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n");
            const auto outcome = runInChild(
                [&] {
                    if (::chdir(root.c_str()) != 0 || !fault.inLauncher())
                        return std::string("cannot be made here");
                    LaunchState state;
                    const LaunchOutcome launch = launchServerAndWait(state, *findEntry("cmd27601"));
                    const StartMessage message = startFailureMessage(launch.start, 27601);
                    return std::to_string(launch.status == LaunchStatus::StartFailed) + "|"
                        + std::to_string(static_cast<int>(launch.start.failure)) + "|" + launch.start.detail + "|"
                        + message.text + "|" + message.advice;
                },
                {.unprivileged = runningAsRoot() && !fault.asRoot});
            if (outcome.output == "cannot be made here") {
                std::cout << "[ NOTE     ] " << fault.name << ": not tried, the fault cannot be made here\n";
                continue;
            }
            std::vector<std::string> parts;
            std::istringstream fields(outcome.output);
            for (std::string part; std::getline(fields, part, '|');)
                parts.push_back(part);
            ASSERT_EQ(parts.size(), 5u) << outcome.output;
            EXPECT_EQ(parts[0], "1") << "reported as started";
            EXPECT_EQ(parts[1], std::to_string(static_cast<int>(fault.failure))) << outcome.output;
            EXPECT_NE(parts[2].find(fault.detail), std::string::npos) << parts[2];
            EXPECT_EQ(parts[3].rfind("The server for port 27601 could not be started.  ", 0), 0u) << parts[3];
            EXPECT_NE(parts[4].find(fault.advice), std::string::npos) << parts[4];
            for (int i = 0; i < 400 && xterm.pid() && processAlive(xterm.pid()); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            EXPECT_FALSE(xterm.pid() && processAlive(xterm.pid())) << "the console of a server that never ran stayed";
        }
    }
    EXPECT_TRUE(quake.records().empty());
}

}  // namespace
