// The window stays responsive while an operator starts servers one click
// after another: how long each launch button's handler holds the window,
// with a trivial qwsv (/bin/true) in a scratch Quake directory, 100 clicks
// in each of these cases:
//
//   no display        servers run without a console
//   console           on a display that answers (an Xvfb of the benchmark's
//                     own, with openbox), a real xterm per server
//   slow xterm        the same, with an xterm that takes 2 s to start, as on
//                     a busy machine
//   silent display    a display that takes connections and never answers,
//                     so that no console ever comes (each start then waits
//                     for its deadline, and runs its server without one)
//
// The clicks come every 100 ms, faster than any host clicks, with the event
// loop running in between as it does between a user's clicks.  Once more
// back to back, the consoles' xterms crowd the two cores: the handler's own
// work (its CPU time) stays the same, but it waits for the processor.  The
// window is offscreen: what is measured is the handler, not drawing.
// Target: at most 20 ms, median and worst, at the operator's pace.

#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/tab_control.h"
#include "x_session.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kClicks = 100;
constexpr double kTargetMs = 20;
constexpr std::chrono::milliseconds kOperatorsPace{100};

// Listens where X display :number would, takes every connection and never
// answers; removed when it goes.
class SilentDisplay {
public:
    SilentDisplay()
    {
        for (int number = 4000; number < 4100 && m_socket < 0; ++number) {
            const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
            if (fs::exists(path))
                continue;
            const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            path.copy(address.sun_path, sizeof address.sun_path - 1);
            fs::create_directories("/tmp/.X11-unix");
            if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
                && ::listen(listener, 4 * kClicks) == 0) {
                m_socket = listener;
                m_path = path;
                m_display = ":" + std::to_string(number);
            } else {
                ::close(listener);
            }
        }
    }
    ~SilentDisplay()
    {
        if (m_socket >= 0) {
            ::close(m_socket);
            ::unlink(m_path.c_str());
        }
    }
    SilentDisplay(const SilentDisplay &) = delete;
    SilentDisplay &operator=(const SilentDisplay &) = delete;

    const std::string &display() const { return m_display; }

private:
    int m_socket = -1;
    std::string m_path;
    std::string m_display;
};

struct Figures {
    double medianMs = -1;  // -1: the case could not be set up
    double worstMs = -1;
    double worstCpuMs = -1;  // of the handler's own thread
};

double milliseconds(const timespec &from, const timespec &to)
{
    return static_cast<double>((to.tv_sec - from.tv_sec) * 1000000000L + (to.tv_nsec - from.tv_nsec)) / 1e6;
}

// kClicks clicks on the launch buttons in turn, `pause` apart, the event
// loop running in between; then the consoles are given the time to come or
// to time out.
Figures clickThrough(std::chrono::milliseconds pause, bool consoles = true)
{
    ui::MainWindow window;
    window.show();
    // Each tab's buttons are made when the tab is first shown.
    auto *tabs = window.findChild<ui::TabControl *>(QStringLiteral("SSTab1"));
    for (int tab = tabs->count() - 1; tab >= 0; --tab)
        tabs->setCurrentIndex(tab);
    QApplication::processEvents();

    std::vector<QPushButton *> buttons;
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->objectName().startsWith(QLatin1String("cmd2")))
            buttons.push_back(button);
    }
    std::vector<double> handlerMs;
    double worstCpuMs = 0;
    for (int i = 0; i < kClicks; ++i) {
        timespec cpuBefore{}, cpuAfter{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuBefore);
        QElapsedTimer timer;
        timer.start();
        buttons[static_cast<std::size_t>(i) % buttons.size()]->click();  // the handler, as a click runs it
        handlerMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuAfter);
        worstCpuMs = std::max(worstCpuMs, milliseconds(cpuBefore, cpuAfter));
        QElapsedTimer between;
        between.start();
        do
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        while (between.elapsed() < pause.count());
    }
    QElapsedTimer settling;
    settling.start();
    while (consoles && settling.elapsed() < 6000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);

    std::sort(handlerMs.begin(), handlerMs.end());
    return {handlerMs[handlerMs.size() / 2], handlerMs.back(), worstCpuMs};
}

}  // namespace

int main(int argc, char *argv[])
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ui::prepareProcess();  // as the program does
    QApplication app(argc, argv);
    ui::setUpApplication();

    std::string pattern = (fs::temp_directory_path() / "tessaro-click-XXXXXX").string();
    const fs::path scratch = ::mkdtemp(pattern.data());
    fs::create_directory(scratch / "quake");
    fs::create_symlink("/bin/true", scratch / "quake" / "qwsv");
    std::ofstream(scratch / "tessaro.cfg") << (scratch / "quake").string() << ",tf,ctf,d1,d2,d3,d4,ra,rq\r\n";
    // An xterm that first sleeps, found before the real one.
    fs::create_directory(scratch / "slow");
    std::ofstream(scratch / "slow" / "xterm") << "#!/bin/sh\nsleep 2\nexec /usr/bin/xterm \"$@\"\n";
    fs::permissions(scratch / "slow" / "xterm", fs::perms::owner_all);
    fs::current_path(scratch);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";

    // What the consoles say when their display goes away at the end is not
    // the benchmark's: they inherit an output that goes nowhere.
    const int output = ::dup(STDERR_FILENO);
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ::dup2(nowhere, STDERR_FILENO);

    struct Case {
        const char *name;
        std::function<Figures()> run;
    };
    const Case cases[] = {
        {"no display", [] {
             ::unsetenv("DISPLAY");
             return clickThrough(kOperatorsPace, false);
         }},
        {"console", [] {
             const auto session = XSession::start();
             return session ? clickThrough(kOperatorsPace) : Figures{};
         }},
        {"slow xterm (2 s)", [&] {
             const auto session = XSession::start();
             ::setenv("PATH", ((scratch / "slow").string() + ":" + path).c_str(), 1);
             const Figures figures = session ? clickThrough(kOperatorsPace) : Figures{};
             ::setenv("PATH", path.c_str(), 1);
             return figures;
         }},
        {"silent display", [] {
             const SilentDisplay silent;
             ::setenv("DISPLAY", silent.display().c_str(), 1);
             return silent.display().empty() ? Figures{} : clickThrough(kOperatorsPace);
         }},
        {"console, no pause", [] {
             const auto session = XSession::start();
             return session ? clickThrough(std::chrono::milliseconds(0)) : Figures{};
         }},
    };

    bool measured = true;
    std::printf("launch button handler, %d clicks per case, %lld ms apart unless said (target: at most %.0f ms, "
                "median and worst)\n",
                kClicks, static_cast<long long>(kOperatorsPace.count()), kTargetMs);
    for (const Case &c : cases) {
        const Figures figures = c.run();
        if (figures.medianMs < 0) {
            std::printf("  %-18s could not be set up\n", c.name);
            measured = false;
            continue;
        }
        std::printf("  %-18s median %6.2f ms, worst %6.2f ms (its own work: at most %.2f ms)\n", c.name,
                    figures.medianMs, figures.worstMs, figures.worstCpuMs);
        std::fflush(stdout);
    }
    ::dup2(output, STDERR_FILENO);

    fs::current_path("/");
    fs::remove_all(scratch);
    return measured ? 0 : 1;
}
