// Tessaro on Qt: the main window and the event loop.  Everything else is in
// the tessaro_ui library, which the tests drive in-process.

#include "ui/application.h"
#include "ui/main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    ui::prepareProcess();
    QApplication app(argc, argv);
    ui::setUpApplication();

    // Shown before its controls are made, which the window manager's mapping
    // of it then overlaps.
    ui::MainWindow window(ui::Showing::BeforeControls);
    return app.exec();
}
