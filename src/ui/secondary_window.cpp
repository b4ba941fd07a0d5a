#include "secondary_window.h"

#include "window_renderer.h"

#include <QWindow>

SecondaryWindow::SecondaryWindow(const design::WindowDesign &design) : QWidget(nullptr, ui::windowFlags(design))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);  // it never ends the program
}

void SecondaryWindow::present()
{
    // Qt gives the window manager a window's position (USPosition) only if
    // the program set it; a window the user dragged is then placed anew each
    // time it is mapped.  Setting the client geometry it had on the QWindow
    // makes that position the program's own.  (Not QWidget::move: it changes
    // nothing when the place is the same, and a frame position would shift
    // the window by its title bar at every show.)
    if (isHidden() && m_place.isValid())
        windowHandle()->setGeometry(m_place);
    // A window manager may offer to minimise a window whose design has no
    // such button; raising alone would leave it minimised and out of reach.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void SecondaryWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_place = geometry();
}
