#pragma once

// Makes a window's widgets from the window's design: the one place where the
// Qt program turns the layout into widgets.

#include "design/window_design.h"

#include <QWidget>

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
class WidgetSet {
public:
    // Gives `window` the design's name, caption, font and size, creates every
    // control, sets the keyboard order and puts the focus on its first control.
    WidgetSet(QWidget *window, const design::WindowDesign &design, Showing showing = Showing::ByCaller);

    QWidget *at(std::string_view name) const;
    template <typename T>
    T *at(std::string_view name) const
    {
        return qobject_cast<T *>(at(name));
    }

private:
    QWidget *create(const design::Control &control, QWidget *window, const design::WindowDesign &design);

    std::map<std::string, QWidget *, std::less<>> m_widgets;
};

}  // namespace ui
