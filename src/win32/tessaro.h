#pragma once

#include "top_level_window.h"

#include "form1.h"
#include "frmhelp.h"
#include "launch/launch_state.h"

#include <memory>

namespace win32 {

// The main window: five tabs, 46 launch buttons, and Configure, Help and
// Exit.  It owns the program's one launch state, its one Configure dialog
// and Help window, and the program's run: when it goes, the program ends.
class tessaro : public TopLevelWindow {
public:
    // Loads the window, shown with `showCommand` (as WinMain is given it);
    // hidden by default, for show() to show.
    explicit tessaro(int showCommand = SW_HIDE);
    ~tessaro() override;

    void show(int showCommand);

    // The secondary windows once first used (tests look at them).
    Form1 *configureDialog() const { return m_configure.get(); }
    frmhelp *helpWindow() const { return m_help.get(); }

protected:
    void Form_Load() override;
    void clicked(const design::Control &button) override;
    void closeRequested() override;
    void destroyed() override;

private:
    void cmdConfig_Click();
    void cmdhelp_Click();
    void Command1_Click();
    void launchButton_Click(const launch::LaunchEntry &entry);

    launch::LaunchState m_launchState;
    // Owns the Configure dialog and is never shown.  An unowned window is
    // always in the taskbar; one owned by a hidden window is not, and stays
    // independent of the main window (it is not minimised with it and
    // stays in place when the main window is in front).
    HWND m_hiddenOwner = nullptr;
    std::unique_ptr<Form1> m_configure;
    std::unique_ptr<frmhelp> m_help;
};

}  // namespace win32
