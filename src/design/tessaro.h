#pragma once

#include "design/form.h"
#include "launch/launch_state.h"

namespace design {

// The main window's behaviour: five tabs, 46 launch buttons, Configure,
// Help and Exit.  It owns the program's one launch state.
class tessaro : public Form {
public:
    tessaro(WindowView &view, Desktop &desktop);

    void Form_Load() override;
    void click(const Control &button) override;

private:
    void cmdConfig_Click();
    void cmdhelp_Click();
    void Command1_Click();
    // The handler of every launch button, given the button's catalogue entry.
    void launchButton_Click(const launch::LaunchEntry &entry);

    WindowView &m_view;
    Desktop &m_desktop;
    launch::LaunchState m_launchState;
};

}  // namespace design
