// The window stays responsive while an operator starts all 46 servers, one
// click after another: how long each launch button's handler holds the
// window, with a trivial qwsv (/bin/true) in a scratch Quake directory.

#include "ui/main_window.h"
#include "ui/stand_in_font.h"
#include "ui/tab_control.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

int main(int argc, char *argv[])
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::unsetenv("DISPLAY");  // servers without console windows: this measures the window, not xterm
    QApplication app(argc, argv);
    QApplication::setFont(ui::designFont());

    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "tessaro-click-XXXXXX").string();
    const fs::path scratch = ::mkdtemp(pattern.data());
    fs::create_directory(scratch / "quake");
    fs::create_symlink("/bin/true", scratch / "quake" / "qwsv");
    std::ofstream(scratch / "tessaro.cfg") << (scratch / "quake").string() << ",tf,ctf,d1,d2,d3,d4,ra,rq\r\n";
    fs::current_path(scratch);

    ui::MainWindow window;
    window.show();
    // Each tab's buttons are made when the tab is first shown.
    auto *tabs = window.findChild<ui::TabControl *>(QStringLiteral("SSTab1"));
    for (int tab = tabs->count() - 1; tab >= 0; --tab)
        tabs->setCurrentIndex(tab);
    QApplication::processEvents();

    std::vector<double> handlerMs;
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (!button->objectName().startsWith(QLatin1String("cmd2")))
            continue;
        QElapsedTimer timer;
        timer.start();
        button->click();  // runs the handler: read the file, compose, start
        handlerMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        QApplication::processEvents();
    }
    std::sort(handlerMs.begin(), handlerMs.end());
    std::printf("46 launches through the buttons: longest handler %.2f ms, median %.2f ms, all %zu in %.1f ms\n",
                handlerMs.back(), handlerMs[handlerMs.size() / 2], handlerMs.size(),
                [&] { double sum = 0; for (double ms : handlerMs) sum += ms; return sum; }());

    fs::current_path("/");
    fs::remove_all(scratch);
    return handlerMs.size() == 46 ? 0 : 1;
}
