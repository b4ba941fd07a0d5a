#include "ui/application.h"

#include "design/version.h"
#include "launch/process_start.h"
#include "ui/stand_in_font.h"

#include <QApplication>

#include <csignal>

namespace ui {

bool prepareProcess()
{
    launch::ensureStandardDescriptors();
    launch::reapChildrenAutomatically();
#ifdef SIGXFSZ
    // A file-size limit then fails a write of the settings, which Tessaro
    // reports, instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // Before any window exists: the X window class (which the menu entry's
    // StartupWMClass names) is taken from it when a window is made.
    QApplication::setApplicationName(QStringLiteral("Tessaro"));
    QApplication::setApplicationVersion(QStringLiteral(TESSARO_FILE_VERSION));
    return startLoadingFontConfiguration();
}

void setUpApplication() { QApplication::setFont(designFont()); }

}  // namespace ui
