#pragma once

// A console window for one server: a pseudo-terminal of the launcher's that
// an xterm only displays.  The server is started on the terminal by the
// launcher itself, so the exec's own result says whether it runs, and the
// window never holds anything else.

#include <memory>
#include <string>

namespace launch {

class Console {
public:
    // Opens the window, iconified, and returns once it is shown; nothing when
    // it cannot be (no display that xterm can reach, no terminal to spare).
    static std::unique_ptr<Console> open(const std::string &xterm, const std::string &title,
                                         const std::string &iconName);
    // Closes the window, unless a server has been handed the terminal.
    ~Console();
    Console(const Console &) = delete;
    Console &operator=(const Console &) = delete;

    // The terminal's device, for the server to open.
    const std::string &terminal() const { return m_terminal; }

    // A server has opened the terminal: the window is its from now on.  It
    // stays after the server ends, with its last lines; closing it hangs up
    // the terminal, which ends a server still running.
    void handOver();

private:
    Console(std::string terminal, int terminalFd, int windowProcess, int windowPid);

    std::string m_terminal;
    int m_terminalFd;     // held until a server holds it, so that the window does not see it hung up
    int m_windowProcess;  // a pidfd of the xterm, or -1
    int m_windowPid;
};

}  // namespace launch
