#include "launch/console_posix.h"

#include "launch/command_line.h"
#include "launch/spawn_posix.h"

#include <cerrno>
#include <csignal>
#include <vector>

#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace launch {

namespace {

// A window that xterm has not shown by then never will be (a display that
// accepts the connection and never answers); and a console told to start
// its server answers at once.
constexpr std::chrono::milliseconds kAnswerTimeout{5000};

int openProcess(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

}  // namespace

ConsoleStart::ConsoleStart(int channel, int windowProcess, pid_t windowPid)
    : m_channel(channel), m_windowProcess(windowProcess), m_windowPid(windowPid),
      m_deadline(std::chrono::steady_clock::now() + kAnswerTimeout)
{
}

std::unique_ptr<ConsoleStart> ConsoleStart::open(const ConsoleWindow &window, const ProgramInvocation &server)
{
    int channel[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel) != 0)
        return nullptr;
    // Until the console says otherwise, the window says that nothing runs yet.
    const std::string starting = window.shortName + " (starting)";
    std::vector<std::string> argv{window.xterm, "-iconic", "-T", starting, "-n", starting, "-e", window.program,
                                  std::to_string(kPassedOnDescriptor), std::to_string(window.port), window.shortName,
                                  server.workingDirectory, std::string(console::kEndOfOptions)};
    argv.insert(argv.end(), server.argv.begin(), server.argv.end());
    // xterm passes its descriptors on to the program it runs.
    const Spawned xterm = spawnDetached({window.xterm, argv, "/", {}, channel[1]});
    ::close(channel[1]);  // the console's end is the console's alone: its end is the channel's
    if (xterm.error != 0) {
        ::close(channel[0]);
        return nullptr;
    }
    // Without a pidfd (an old kernel, no descriptor to spare), by its pid.
    const int windowProcess = openProcess(xterm.pid);
    const pid_t windowPid = windowProcess < 0 ? xterm.pid : 0;
    return std::unique_ptr<ConsoleStart>(new ConsoleStart(channel[0], windowProcess, windowPid));
}

ConsoleStart::~ConsoleStart()
{
    if (m_channel >= 0)
        closeWindow({Outcome::NoWindow});
    if (m_windowProcess >= 0)
        ::close(m_windowProcess);
}

std::optional<ConsoleStart::Outcome> ConsoleStart::advance()
{
    char buffer[128];
    const ssize_t got = ::recv(m_channel, buffer, sizeof buffer, MSG_DONTWAIT);
    const bool ended = got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
    if (got > 0)
        m_received.append(buffer, static_cast<std::size_t>(got));
    while (const auto line = m_received.takeLine()) {
        if (auto outcome = heard(*line))
            return outcome;
    }
    // The console ended without an answer (xterm could not reach the display,
    // or the window was closed at once), or is too slow to be waited for.
    if (ended || m_received.overflowing() || std::chrono::steady_clock::now() >= m_deadline)
        return closeWindow({Outcome::NoWindow});
    return std::nullopt;
}

std::optional<ConsoleStart::Outcome> ConsoleStart::heard(const std::string &line)
{
    if (!m_toldToStart && line == console::kReady) {
        const std::string start = std::string(console::kStart) + "\n";
        if (::send(m_channel, start.data(), start.size(), MSG_NOSIGNAL | MSG_DONTWAIT)
            != static_cast<ssize_t>(start.size()))
            return closeWindow({Outcome::NoWindow});
        m_toldToStart = true;
        m_deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
        return std::nullopt;
    }
    if (const auto pid = console::numberAfter(console::kStarted, line); pid && m_toldToStart) {
        // The window is the server's from now on: it stays, and ends with it.
        ::close(m_channel);
        m_channel = -1;
        return Outcome{Outcome::Started, *pid};
    }
    if (const auto error = console::numberAfter(console::kFailed, line); error && m_toldToStart)
        return closeWindow({Outcome::Refused, *error});
    return closeWindow({Outcome::NoWindow});
}

// The window must not stay without its server: killed, whatever it is doing.
// Its console then sees the channel end, should it still be starting.
ConsoleStart::Outcome ConsoleStart::closeWindow(Outcome outcome)
{
    if (m_windowProcess >= 0)
        ::syscall(SYS_pidfd_send_signal, m_windowProcess, SIGKILL, nullptr, 0);
    else if (m_windowPid > 0)
        ::kill(m_windowPid, SIGKILL);
    ::close(m_channel);
    m_channel = -1;
    return outcome;
}

}  // namespace launch
