#pragma once

// An X server of the benchmark's own, for benchmarks whose costs show only on
// a real display.

#include <memory>
#include <string>

#include <sys/types.h>

// Whether a window manager runs on `display`.
bool windowManagerRuns(const std::string &display);

// An Xvfb of its own on a free display, with openbox on it, made the
// process's DISPLAY; both stopped (by pid) when it goes.
class XSession {
public:
    static std::unique_ptr<XSession> start();
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;
    ~XSession();

    const std::string &display() const { return m_display; }

private:
    XSession() = default;

    pid_t m_server = 0;
    pid_t m_windowManager = 0;
    std::string m_display;
};
