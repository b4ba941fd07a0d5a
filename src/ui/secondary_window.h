#pragma once

#include "design/window_design.h"

#include <QRect>
#include <QWidget>

// A window the main window opens on demand: the Configure dialog and the Help
// window.  Its Close button hides it; closing it through its title bar unloads
// it (the instance goes, and the next one starts afresh at the default place).
// Shown again after a hide, it stands where the user left it, at the size the
// user left it.
class SecondaryWindow : public QWidget {
    Q_OBJECT

public:
    explicit SecondaryWindow(const design::WindowDesign &design);

    // Shows the window, restored if the window manager minimised it, in front
    // and active.
    void present();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    QRect m_place;  // its client area when it was last hidden
};
