// Stands in for xterm in tests, without a display: it runs the program after
// -e as xterm does, in a session of its own on a terminal of its own, with
// the descriptors it was given and one more, and ends when that program ends.  Killing it
// closes the window: the terminal is hung up.
//
// FAKE_QWSV_RECORD_DIR  where it writes xterm.args (one argument a line),
//                       xterm.pid, xterm.child (the program's pid) and
//                       xterm.screen (everything the program's terminal showed)
// FAKE_XTERM_MODE       "dead": ends at once, as without a display to show on;
//                       "silent": runs nothing, as on a display that never
//                       answers; anything else: runs the program and types
//                       "status" and Return into its terminal

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void record(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

}  // namespace

int main(int argc, char **argv)
{
    const char *recordDir = std::getenv("FAKE_QWSV_RECORD_DIR");
    if (!recordDir)
        return 2;
    const std::string records = recordDir;
    std::string arguments;
    int command = 0;
    for (int i = 1; i < argc; ++i) {
        arguments += std::string(argv[i]) + "\n";
        if (!command && std::strcmp(argv[i], "-e") == 0)
            command = i + 1;
    }
    record(records + "/xterm.args", arguments);
    record(records + "/xterm.pid", std::to_string(getpid()));
    const char *mode = std::getenv("FAKE_XTERM_MODE");
    if (mode && std::strcmp(mode, "dead") == 0)
        return 1;
    if ((mode && std::strcmp(mode, "silent") == 0) || !command || command >= argc) {
        alarm(60);  // a test that forgets it must not keep CI waiting for ever
        for (;;)
            pause();
    }

    // A descriptor of its own left open to the program, as terminals may leave one.
    if (open("/dev/null", O_RDONLY) < 0)
        return 1;
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        execv(argv[command], argv + command);
        _exit(127);
    }
    if (child < 0)
        return 1;
    record(records + "/xterm.child", std::to_string(child));
    const char typed[] = "status\n";
    if (write(terminal, typed, sizeof typed - 1) < 0)
        return 1;
    for (;;) {
        pollfd shown{terminal, POLLIN, 0};
        const bool output = poll(&shown, 1, 20) > 0 && (shown.revents & POLLIN);
        char buffer[4096];
        const ssize_t got = output ? read(terminal, buffer, sizeof buffer) : 0;
        if (got > 0)
            record(records + "/xterm.screen", std::string(buffer, static_cast<std::size_t>(got)));
        else if (waitpid(child, nullptr, WNOHANG) == child || (output && got < 0 && errno != EINTR))
            return 0;
    }
}
