// tessaro-console: the program xterm runs in a server's console window.  It
// starts the server only when Tessaro says so, reports how that went, and
// stays with the server to the end, so that the window tells the truth about
// it whether or not Tessaro still runs:
//
//   starting    the title xterm was given ("27601 fortress (starting)")
//   running     title: the server's command line; icon name: "27601 fortress"
//   ended       both "27601 fortress (ended)", and a last line saying how
//
// The server runs in this program's session, which xterm made, with the
// window's terminal as its controlling terminal and in the foreground process
// group: ^C reaches it, and closing the window hangs it up.

#include "console/handshake.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

struct Arguments {
    int channel = -1;
    int port = 0;
    std::string shortName;
    std::string directory;
    std::vector<std::string> server;  // its argv; [0] is the program's absolute path
};

std::optional<int> number(const char *text)
{
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0 || value > 65535)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<Arguments> parseArguments(int argc, char **argv)
{
    if (argc < 7 || console::kEndOfOptions != argv[5] || argv[6][0] != '/')
        return std::nullopt;
    const auto channel = number(argv[1]);
    const auto port = number(argv[2]);
    struct stat status {};
    if (!channel || !port || ::fstat(*channel, &status) != 0 || !S_ISSOCK(status.st_mode))
        return std::nullopt;
    return Arguments{*channel, *port, argv[3], argv[4], std::vector<std::string>(argv + 6, argv + argc)};
}

void writeAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

void say(int channel, const std::string &line)
{
    const std::string text = line + "\n";
    // Tessaro may be gone; that is no reason to die of SIGPIPE.
    while (::send(channel, text.data(), text.size(), MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
}

// True once Tessaro says "start"; false when it went away or gave up first.
bool toldToStart(int channel)
{
    console::LineBuffer received;
    for (;;) {
        if (const auto line = received.takeLine())
            return *line == console::kStart;
        char buffer[64];
        const ssize_t got = ::read(channel, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || received.overflowing())
            return false;
        received.append(buffer, static_cast<std::size_t>(got));
    }
}

// No shell and no search of PATH; nothing of this program's but the
// terminal on 0 to 2; every signal at its default and none blocked, whatever
// this program ignores.  It stays in this process group, the terminal's
// foreground group.  Returns the errno of whatever failed.
int startServer(const Arguments &arguments, pid_t &pid)
{
    std::vector<char *> argv;
    for (const std::string &argument : arguments.server)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawn_file_actions_init(&actions);
    sigset_t all, none;
    ::sigfillset(&all);
    ::sigemptyset(&none);
    int error = ::posix_spawnattr_setsigdefault(&attributes, &all);
    error = error ? error : ::posix_spawnattr_setsigmask(&attributes, &none);
    error = error ? error
                  : ::posix_spawnattr_setflags(&attributes,
                                               static_cast<short>(POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));
    error = error ? error : ::posix_spawn_file_actions_addchdir_np(&actions, arguments.directory.c_str());
    error = error ? error : ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    error = error ? error : ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    return error;
}

// A control character in a title (a game directory may hold one) would end
// the sequence that carries it and be taken for the terminal's own.
std::string printable(std::string text)
{
    for (char &c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    return text;
}

// xterm's own sequences for the window's title and its icon's name.
void setTitles(const std::string &title, const std::string &iconName)
{
    writeAll(STDOUT_FILENO, "\033]2;" + printable(title) + "\a\033]1;" + printable(iconName) + "\a");
}

// "The server on port 27800 ended with exit status 1." or "... ended by
// signal 11 (Segmentation fault)."
std::string endLine(int port, int status)
{
    const std::string how = WIFSIGNALED(status) ? "by signal " + std::to_string(WTERMSIG(status)) + " ("
                                                      + ::strsignal(WTERMSIG(status)) + ")"
                                                : "with exit status " + std::to_string(WEXITSTATUS(status));
    return "The server on port " + std::to_string(port) + " ended " + how + ".";
}

// Until the window is closed (a hang-up, or the end of its input) or this
// process is ended by name.  What is typed meanwhile goes nowhere.
void waitForTheWindowToClose()
{
    char buffer[256];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got == 0 || (got < 0 && errno != EINTR))
            return;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    const std::optional<Arguments> arguments = parseArguments(argc, argv);
    if (!arguments) {
        std::fprintf(stderr, "%s is started by Tessaro for a server's console; it is not run by hand.\n",
                     console::kProgramName.data());
        return 2;
    }
    // The keys that stop or interrupt the server must leave its console be.
    for (int ignored : {SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU})
        ::signal(ignored, SIG_IGN);
    ::signal(SIGCHLD, SIG_DFL);
    ::fcntl(arguments->channel, F_SETFD, FD_CLOEXEC);

    say(arguments->channel, std::string(console::kReady));
    if (!toldToStart(arguments->channel))
        return 1;  // the window closes with no server in it
    pid_t server = 0;
    if (const int error = startServer(*arguments, server)) {
        say(arguments->channel, std::string(console::kFailed) + std::to_string(error));
        return 1;
    }
    say(arguments->channel, std::string(console::kStarted) + std::to_string(server));
    ::close(arguments->channel);
    std::string title;
    for (const std::string &argument : arguments->server)
        title += (title.empty() ? "" : " ") + argument;
    setTitles(title, arguments->shortName);

    int status = 0;
    while (::waitpid(server, &status, 0) < 0 && errno == EINTR) {
    }
    const std::string ended = arguments->shortName + " (ended)";
    setTitles(ended, ended);
    writeAll(STDOUT_FILENO, "\n" + endLine(arguments->port, status) + "\n");
    ::prctl(PR_SET_NAME, std::string(console::kEndedName).c_str());
    waitForTheWindowToClose();
    return 0;
}
