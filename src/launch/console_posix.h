#pragma once

// A console window for one server, being opened: xterm runs tessaro-console,
// which starts the server once told to over a private channel (see
// console/handshake.h).  xterm owns the window's terminal and its child, so
// its own close hangs the server up; nothing here needs the display.
// Nothing here waits either: the caller watches descriptor() until advance()
// gives the outcome.

#include "console/handshake.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include <sys/types.h>

namespace launch {

struct ProgramInvocation;

struct ConsoleWindow {
    std::string xterm;     // absolute paths of xterm
    std::string program;   // and of tessaro-console
    int port = 0;
    std::string shortName;  // "27601 fortress"
};

class ConsoleStart {
public:
    struct Outcome {
        enum Kind {
            Started,   // the server runs in the window: `value` is its pid
            Refused,   // the system refused to run it: `value` is the errno; no window stays
            NoWindow,  // no window came, or not in time; none stays
        } kind;
        long value = 0;
    };

    // Nothing when xterm itself cannot be started.
    static std::unique_ptr<ConsoleStart> open(const ConsoleWindow &window, const ProgramInvocation &server);
    // A window that has not been given its server is closed.
    ~ConsoleStart();
    ConsoleStart(const ConsoleStart &) = delete;
    ConsoleStart &operator=(const ConsoleStart &) = delete;

    int descriptor() const { return m_channel; }
    std::chrono::steady_clock::time_point deadline() const { return m_deadline; }
    // Takes what the console said; the outcome once there is one.
    std::optional<Outcome> advance();

private:
    ConsoleStart(int channel, int windowProcess, pid_t windowPid);
    std::optional<Outcome> heard(const std::string &line);
    Outcome closeWindow(Outcome outcome);

    int m_channel;
    int m_windowProcess;  // a pidfd of xterm, or -1
    pid_t m_windowPid;    // where there are no pidfds
    bool m_toldToStart = false;
    console::LineBuffer m_received;
    std::chrono::steady_clock::time_point m_deadline;
};

}  // namespace launch
