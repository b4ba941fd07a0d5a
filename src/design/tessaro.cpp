#include "design/tessaro.h"

namespace design {

tessaro::tessaro(WindowView &view, Desktop &desktop) : m_view(view), m_desktop(desktop) {}

tessaro::~tessaro()
{
    for (PendingLaunch &launch : m_pending)
        launch::finishServerStart(*launch.start);
}

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
    launch::LaunchOutcome outcome = launch::launchServer(m_launchState, entry);
    if (outcome.status == launch::LaunchStatus::Pending) {
        // xterm takes a moment to show the console; the window goes on
        // meanwhile, and says so if the server then does not start.
        watch(m_pending.insert(m_pending.end(), {&entry, std::move(outcome.pending)}));
        return;
    }
    if (outcome.status != launch::LaunchStatus::Started)
        m_view.warn(launchFailureMessage(entry, outcome));
}

void tessaro::watch(PendingLaunches::iterator launch)
{
    m_desktop.watch(launch->start->descriptor(), launch->start->deadline(), [this, launch] { advance(launch); });
}

void tessaro::advance(PendingLaunches::iterator launch)
{
    const std::optional<launch::StartResult> start = launch->start->advance();
    if (!start) {
        watch(launch);
        return;
    }
    const launch::LaunchEntry &entry = *launch->entry;
    m_pending.erase(launch);
    if (!start->started) {
        launch::LaunchOutcome failed;
        failed.status = launch::LaunchStatus::StartFailed;
        failed.start = *start;
        m_view.warn(launchFailureMessage(entry, failed));
    }
}

}  // namespace design
