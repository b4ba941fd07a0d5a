#include "launch/console_posix.h"

#include "launch/spawn_posix.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace launch {

namespace {

// A window that xterm has not shown by then never will be.
constexpr std::chrono::milliseconds kWindowTimeout{5000};

// xterm in slave mode first writes its window's id and a line feed to the
// terminal, once the window exists.  It is read here, unechoed, so that the
// server never takes it for a command and the window never shows it.  An
// xterm that cannot reach its display ends instead, which hangs the terminal up.
std::optional<xcb_window_t> windowShown(int terminalFd)
{
    const auto deadline = std::chrono::steady_clock::now() + kWindowTimeout;
    std::string line;
    while (line.find('\n') == std::string::npos && line.size() < 256) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd ready{terminalFd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return std::nullopt;
        char buffer[64];
        const ssize_t got = ::read(terminalFd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return std::nullopt;
        line.append(buffer, static_cast<std::size_t>(got));
    }
    if (line.find('\n') == std::string::npos)
        return std::nullopt;
    return static_cast<xcb_window_t>(std::strtoul(line.c_str(), nullptr, 16));
}

// xterm in slave mode has no child to hang up, so it ignores the window
// manager's request to close its window (WM_DELETE_WINDOW), and a running
// server's window would not close.  Once xterm has offered that request, it
// is withdrawn: the window manager then closes the window the hard way,
// which ends xterm and hangs the terminal up, ending the server.  The window
// and its property may still be on their way to the X server: they are
// waited for.
void withdrawPoliteClose(xcb_window_t window)
{
    xcb_connection_t *x = xcb_connect(nullptr, nullptr);
    constexpr xcb_atom_t kNone = XCB_ATOM_NONE;
    const auto atom = [x](const char *name) {
        xcb_intern_atom_reply_t *reply =
            xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t found = reply ? reply->atom : kNone;
        std::free(reply);
        return found;
    };
    const auto deadline = std::chrono::steady_clock::now() + kWindowTimeout;
    const auto late = [deadline] { return std::chrono::steady_clock::now() > deadline; };
    const xcb_atom_t protocols = xcb_connection_has_error(x) ? kNone : atom("WM_PROTOCOLS");
    const xcb_atom_t politeClose = protocols == kNone ? kNone : atom("WM_DELETE_WINDOW");
    const std::uint32_t watch = XCB_EVENT_MASK_PROPERTY_CHANGE;
    bool watching = false;
    while (politeClose != kNone && !watching && !late()) {
        xcb_generic_error_t *error = xcb_request_check(
            x, xcb_change_window_attributes_checked(x, window, XCB_CW_EVENT_MASK, &watch));
        watching = error == nullptr;
        std::free(error);
        if (!watching)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    while (watching && !late()) {
        xcb_get_property_reply_t *reply =
            xcb_get_property_reply(x, xcb_get_property(x, 0, window, protocols, XCB_ATOM_ATOM, 0, 64), nullptr);
        if (!reply)
            break;
        const auto *offered = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
        std::vector<xcb_atom_t> kept;
        for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i) {
            if (offered[i] != politeClose)
                kept.push_back(offered[i]);
        }
        const bool withdraw = kept.size() < static_cast<std::size_t>(xcb_get_property_value_length(reply) / 4);
        std::free(reply);
        if (withdraw) {
            xcb_change_property(x, XCB_PROP_MODE_REPLACE, window, protocols, XCB_ATOM_ATOM, 32,
                                static_cast<std::uint32_t>(kept.size()), kept.data());
            std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));  // done before we go
            break;
        }
        pollfd changed{xcb_get_file_descriptor(x), POLLIN, 0};
        ::poll(&changed, 1, 20);
        while (xcb_generic_event_t *event = xcb_poll_for_event(x))
            std::free(event);
    }
    xcb_disconnect(x);
}

int openProcess(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

}  // namespace

Console::Console(std::string terminal, int terminalFd, int windowProcess, int windowPid)
    : m_terminal(std::move(terminal)), m_terminalFd(terminalFd), m_windowProcess(windowProcess), m_windowPid(windowPid)
{
}

std::unique_ptr<Console> Console::open(const std::string &xterm, const std::string &title,
                                       const std::string &iconName)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return nullptr;
    char name[128] = {};
    int terminalFd = -1;
    termios saved{};
    if (::grantpt(master) == 0 && ::unlockpt(master) == 0 && ::ptsname_r(master, name, sizeof name) == 0)
        terminalFd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminalFd < 0 || ::tcgetattr(terminalFd, &saved) != 0) {
        if (terminalFd >= 0)
            ::close(terminalFd);
        ::close(master);
        return nullptr;
    }
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(terminalFd, TCSANOW, &quiet);

    // -S names the terminal (for ps) and the descriptor that carries it; xterm runs nothing itself.
    const SpawnPlan plan{xterm,
                         {xterm, "-iconic", "-hold", "-T", title, "-n", iconName, "-S" + std::string(name) + "/3"},
                         "/",
                         {},
                         master};
    const Spawned window = spawnDetached(plan);
    ::close(master);  // xterm's copy is the only one: its end hangs the terminal up
    if (window.error != 0) {
        ::close(terminalFd);
        return nullptr;
    }
    int windowProcess = openProcess(window.pid);
    const pid_t windowPid = windowProcess < 0 && errno == ENOSYS ? window.pid : 0;
    std::unique_ptr<Console> console(new Console(name, terminalFd, windowProcess, windowPid));
    const std::optional<xcb_window_t> shown = windowShown(terminalFd);
    if (!shown || ::tcsetattr(terminalFd, TCSANOW, &saved) != 0)
        return nullptr;
    withdrawPoliteClose(*shown);
    return console;
}

Console::~Console()
{
    if (m_terminalFd >= 0) {
        // No server took the window: it must not stay, empty or held.
        if (m_windowProcess >= 0)
            ::syscall(SYS_pidfd_send_signal, m_windowProcess, SIGKILL, nullptr, 0);
        else if (m_windowPid > 0)
            ::kill(m_windowPid, SIGKILL);
        ::close(m_terminalFd);
    }
    if (m_windowProcess >= 0)
        ::close(m_windowProcess);
}

void Console::handOver()
{
    ::close(m_terminalFd);
    m_terminalFd = -1;
}

}  // namespace launch
