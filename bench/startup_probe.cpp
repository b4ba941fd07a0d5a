// One window, shown once: says "shown" on standard output as soon as the
// event loop has shown it, then ends.  Built three times: with Tessaro's
// main window, with a plain Qt window of the same size, and with that window
// holding one line of text (which is what loading the fonts costs).

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <cstdio>

#ifdef PROBE_TESSARO
#include "design_font.h"
#include "tessaro.h"
#endif

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
#ifdef PROBE_TESSARO
    QApplication::setFont(ui::designFont());
    tessaro window;
#else
    QWidget window;
    window.resize(433, 462);
#ifdef PROBE_LABEL
    QLabel label(QStringLiteral("Tessaro"), &window);
#endif
#endif
    window.show();
    QTimer::singleShot(0, &app, [&app] {
        std::fputs("shown\n", stdout);
        std::fflush(stdout);
        app.quit();
    });
    return app.exec();
}
