// One window, started as the program starts it: says "mapped" on standard
// output once the window is on screen with its contents drawn, then ends at
// once (what tearing down costs is no part of starting).  "On screen" is the
// first expose of the top-level window, which the X server sends after the
// window manager has mapped it; the line is written after Qt has painted and
// flushed the window in answer to that expose, so both probes count their
// first paint.  Offscreen, the expose comes at show().
//
// Built twice with the same flags: with Tessaro's main window as main.cpp
// makes it, and with a plain Qt window of the same size holding one push
// button ("E&xit").

#include <QApplication>
#include <QEvent>
#include <QMetaObject>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>

#ifdef PROBE_TESSARO
#include "ui/application.h"
#include "ui/main_window.h"
#else
#include <QPushButton>
#endif

namespace {

class SayMappedOnFirstExpose : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            // Queued: runs once this expose has been painted.
            QMetaObject::invokeMethod(this, [] {
                std::fputs("mapped\n", stdout);
                std::fflush(stdout);
                std::_Exit(0);
            }, Qt::QueuedConnection);
        }
        return false;
    }
};

}  // namespace

int main(int argc, char *argv[])
{
#ifdef PROBE_TESSARO
    ui::prepareProcess();
#endif
    QApplication app(argc, argv);
#ifdef PROBE_TESSARO
    ui::MainWindow window(ui::Showing::BeforeControls);
    ui::setUpApplication();
#else
    QWidget window;
    window.resize(433, 462);
    QPushButton exit(QStringLiteral("E&xit"), &window);
    exit.setGeometry(312, 432, 97, 25);
    QObject::connect(&exit, &QPushButton::clicked, &window, &QWidget::close);
#endif
    window.show();  // (Tessaro's is shown already)
    window.windowHandle()->installEventFilter(new SayMappedOnFirstExpose(&app));
    return app.exec();
}
