#pragma once

// A window of the program on Qt: drawn from its design, with its behaviour
// from the design as well.  This class implements the few primitives the
// behaviour uses and routes the push buttons' clicks to it; nothing here
// decides what a window does.

#include "design/form.h"
#include "ui/widget_set.h"

#include <QRect>
#include <QWidget>

#include <map>
#include <memory>
#include <string>

namespace ui {

class FormWindow : public QWidget, public design::WindowView {
    Q_OBJECT

public:
    FormWindow(const design::WindowDesign &design, Showing showing);
    ~FormWindow() override;

    std::string boxText(const design::Control &box) const override;
    void setBoxText(const design::Control &box, const std::string &text) override;
    void focusControl(const design::Control &control) override;
    void selectTab(int tab) override;
    void hideWindow() override;
    void unloadWindow() override;
    void warn(const design::Message &message) override;

protected:
    // Gives the window its behaviour and runs its load step.  Called by the
    // derived class's constructor, once the window is whole.
    void load(std::unique_ptr<design::Form> form);
    design::Form &form() const { return *m_form; }

private:
    const design::WindowDesign &m_design;
    WidgetSet m_widgets;
    std::unique_ptr<design::Form> m_form;
    // What each box was given from the settings file, byte for byte.
    std::map<std::string, std::string, std::less<>> m_boxBytes;
};

// A window the main window opens on demand: the Configure dialog and the Help
// window.  Its Close button hides it; closing it through its title bar unloads
// it (the instance goes, and the next one starts afresh at the default place).
// Shown again after a hide, it stands where the user left it, at the size the
// user left it.
class SecondaryWindow : public FormWindow {
    Q_OBJECT

public:
    explicit SecondaryWindow(const design::SecondaryForm &form);

    // Shows the window, restored if the window manager minimised it, in front
    // and active.
    void present();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    QRect m_place;  // its client area when it was last hidden
};

}  // namespace ui
