#pragma once

#include "design/form.h"
#include "launch/launch_state.h"

#include <list>
#include <memory>

namespace design {

// The main window's behaviour: five tabs, 46 launch buttons, Configure,
// Help and Exit.  It owns the program's one launch state.
class tessaro : public Form {
public:
    tessaro(WindowView &view, Desktop &desktop);
    // Starts still waiting for their console are finished: a click is a
    // server, also when the program ends right after it.
    ~tessaro() override;

    void Form_Load() override;
    void click(const Control &button) override;

private:
    void cmdConfig_Click();
    void cmdhelp_Click();
    void Command1_Click();
    // The handler of every launch button, given the button's catalogue entry.
    void launchButton_Click(const launch::LaunchEntry &entry);

    // A launch whose server starts once its console is shown.
    struct PendingLaunch {
        const launch::LaunchEntry *entry;
        std::unique_ptr<launch::PendingStart> start;
    };
    using PendingLaunches = std::list<PendingLaunch>;
    void watch(PendingLaunches::iterator launch);
    void advance(PendingLaunches::iterator launch);

    WindowView &m_view;
    Desktop &m_desktop;
    launch::LaunchState m_launchState;
    PendingLaunches m_pending;
};

}  // namespace design
