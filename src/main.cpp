#include "design_font.h"
#include "launch/process_start.h"
#include "tessaro.h"

#include <QApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    launch::ensureStandardDescriptors();
    launch::reapChildrenAutomatically();
#ifdef SIGXFSZ
    // A file-size limit then fails a write of the settings, which Tessaro
    // reports, instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    ui::startLoadingFontConfiguration();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaro"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    QApplication::setFont(ui::designFont());

    // Shown before its controls are made, which the window manager's mapping
    // of it then overlaps.
    tessaro window(nullptr, ui::Showing::BeforeControls);
    return app.exec();
}
