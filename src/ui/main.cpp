// Tessaro on Qt: the main window and the event loop.  Everything else is in
// the tessaro_ui library, which the tests drive in-process.

#include "ui/application.h"
#include "ui/main_window.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (!ui::prepareProcess()) {
        // Better than a window that never draws and cannot be closed.
        std::fputs("Tessaro cannot show its window: the system lets it start no thread, which the connection to "
                   "the display needs.  Your programs have reached their limit of processes (ulimit -u shows it): "
                   "end some of them, then start Tessaro again.\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);

    // Shown before its controls are made, and before the fonts it needs are
    // ready: the window manager's mapping of it overlaps both.
    ui::MainWindow window(ui::Showing::BeforeControls);
    ui::setUpApplication();
    return app.exec();
}
