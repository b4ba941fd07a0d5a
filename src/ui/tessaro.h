#pragma once

#include "launch/launch_state.h"
#include "window_renderer.h"

#include <QPointer>
#include <QWidget>

class Form1;
class frmhelp;

namespace ui {
class TabControl;
}

// The main window: five tabs, 46 launch buttons, and Configure, Help and Exit.
// It owns the program's one launch state and its one Configure dialog and
// Help window.
class tessaro : public QWidget {
    Q_OBJECT

public:
    explicit tessaro(QWidget *parent = nullptr, ui::Showing showing = ui::Showing::ByCaller);
    ~tessaro() override;

    // The secondary windows while they exist (tests look at them).
    Form1 *configureDialog() const;
    frmhelp *helpWindow() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls(ui::Showing showing);

    void Form_Load();
    void cmdConfig_Click();
    void cmdhelp_Click();
    void Command1_Click();
    // The handler of every launch button, bound to the button's catalogue entry.
    void launchButton_Click(const launch::LaunchEntry &entry);

    ui::TabControl *m_tabs = nullptr;

    launch::LaunchState m_launchState;
    QPointer<Form1> m_configure;
    QPointer<frmhelp> m_help;
};
