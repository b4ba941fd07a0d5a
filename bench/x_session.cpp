#include "x_session.h"

#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Starts `argv` (looked up in PATH) with standard input, output and error on
// /dev/null, to be stopped with SIGTERM when this benchmark ends, however it
// ends; 0 if it could not be started.
pid_t spawnHelper(const std::vector<std::string> &argv)
{
    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            ::dup2(null, fd);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid > 0 ? pid : 0;
}

}  // namespace

// Once it says what it supports, as tests/support/x_session.sh waits for:
// the check window comes earlier, before the manager is ready for windows.
bool windowManagerRuns(const std::string &display)
{
    xcb_connection_t *connection = xcb_connect(display.c_str(), nullptr);
    bool runs = false;
    if (!xcb_connection_has_error(connection)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        runs = true;
        for (const char *name : {"_NET_SUPPORTING_WM_CHECK", "_NET_SUPPORTED"}) {
            xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
                connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
            xcb_get_property_reply_t *property =
                atom && atom->atom != XCB_ATOM_NONE
                    ? xcb_get_property_reply(
                          connection, xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_ANY, 0, 1), nullptr)
                    : nullptr;
            runs = runs && property && xcb_get_property_value_length(property) > 0;
            std::free(property);
            std::free(atom);
        }
    }
    xcb_disconnect(connection);
    return runs;
}

std::unique_ptr<XSession> XSession::start()
{
    auto session = std::unique_ptr<XSession>(new XSession);
    int display[2];
    if (::pipe(display) != 0)
        return nullptr;
    // -noreset: the server would otherwise reset when the last client goes,
    // such as the check below, and refuse openbox meanwhile.
    session->m_server = spawnHelper({"Xvfb", "-displayfd", std::to_string(display[1]), "-screen", "0", "1024x768x24",
                                     "-nolisten", "tcp", "-noreset"});
    ::close(display[1]);
    std::string number;
    char c;
    while (session->m_server && ::read(display[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(display[0]);
    if (number.empty())
        return nullptr;
    session->m_display = ":" + number;
    ::setenv("DISPLAY", session->m_display.c_str(), 1);
    session->m_windowManager = spawnHelper({"openbox"});
    for (int i = 0; i < 400 && session->m_windowManager; ++i) {
        if (windowManagerRuns(session->m_display))
            return session;
        if (::waitpid(session->m_windowManager, nullptr, WNOHANG) != 0)
            session->m_windowManager = 0;  // gone: nothing to stop
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return nullptr;
}

XSession::~XSession()
{
    for (pid_t pid : {m_windowManager, m_server}) {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
}
