#include "design/tessaro.h"

namespace design {

tessaro::tessaro(WindowView &view, Desktop &desktop) : m_view(view), m_desktop(desktop) {}

void tessaro::Form_Load() { m_view.selectTab(MainTab); }

void tessaro::click(const Control &button)
{
    switch (button.onClick) {
    case Handler::LaunchServer:
        launchButton_Click(*button.launchEntry);
        break;
    case Handler::ShowConfigure:
        cmdConfig_Click();
        break;
    case Handler::ShowHelp:
        cmdhelp_Click();
        break;
    case Handler::EndProgram:
        Command1_Click();
        break;
    default:
        break;
    }
}

void tessaro::cmdConfig_Click() { m_desktop.present(SecondaryWindow::Configure); }

void tessaro::cmdhelp_Click() { m_desktop.present(SecondaryWindow::Help); }

// The program ends with its main window: the other two go without a word,
// whatever their state, and nothing is written.  Started servers keep running.
void tessaro::Command1_Click() { m_view.unloadWindow(); }

void tessaro::launchButton_Click(const launch::LaunchEntry &entry)
{
    const launch::LaunchOutcome outcome = launch::launchServer(m_launchState, entry);
    if (outcome.status != launch::LaunchStatus::Started)
        m_view.warn(launchFailureMessage(entry, outcome));
}

}  // namespace design
