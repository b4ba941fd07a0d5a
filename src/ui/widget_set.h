#pragma once

// Makes a window's widgets from the window's design: the one place where the
// Qt program turns the layout into widgets.

#include "design/window_design.h"

#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace ui {

// The title-bar buttons and border of a window of this design.
Qt::WindowFlags windowFlags(const design::WindowDesign &design);

enum class Showing {
    ByCaller,        // the window stays hidden until whoever made it shows it
    BeforeControls,  // shown as soon as its frame is set up: the window manager
                     // maps it while the controls are made, and the first
                     // paint has them all
};

// The widgets of one window, made from its design, found by their names.
// The controls of a tab are made when the tab is first shown: most of the
// main window stands on tabs the user may never open, and every control made
// before the window appears delays it.
class WidgetSet {
public:
    // What pressing a push button runs.
    using Pressed = std::function<void(const design::Control &button)>;

    // Gives `window` the design's name, caption, font and size, creates the
    // controls of the first tab and of no tab, sets the keyboard order and
    // puts the focus on its first control.
    WidgetSet(QWidget *window, const design::WindowDesign &design, Showing showing, Pressed pressed);

    // A control, or nullptr while its tab has never been shown.
    QWidget *at(std::string_view name) const;
    template <typename T>
    T *at(std::string_view name) const
    {
        return qobject_cast<T *>(at(name));
    }

private:
    void createControls(int tab);
    QWidget *create(const design::Control &control);
    void setKeyboardOrder();

    QWidget *m_window;
    const design::WindowDesign &m_design;
    Pressed m_pressed;
    std::map<std::string, QWidget *, std::less<>> m_widgets;
};

}  // namespace ui
