#include "tessaro.h"

#include "design/messages.h"
#include "design/window_design.h"
#include "messages.h"

namespace win32 {

tessaro::tessaro(int showCommand) : TopLevelWindow(design::mainWindowDesign()) { load(nullptr, showCommand); }

tessaro::~tessaro()
{
    m_configure.reset();
    m_help.reset();
    if (m_hiddenOwner)
        ::DestroyWindow(m_hiddenOwner);
}

void tessaro::show(int showCommand)
{
    ::ShowWindow(hwnd(), showCommand);
    ::UpdateWindow(hwnd());
}

void tessaro::Form_Load() { controls()->showTab(design::MainTab); }

void tessaro::clicked(const design::Control &button)
{
    if (button.launchEntry)
        launchButton_Click(*button.launchEntry);
    else if (button.name == "cmdConfig")
        cmdConfig_Click();
    else if (button.name == "cmdhelp")
        cmdhelp_Click();
    else if (button.name == "Command1")
        Command1_Click();
}

void tessaro::cmdConfig_Click()
{
    if (!m_configure) {
        m_hiddenOwner = ::CreateWindowExW(0, L"STATIC", L"Tessaro", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                          ::GetModuleHandleW(nullptr), nullptr);
        m_configure = std::make_unique<Form1>(m_hiddenOwner);
    }
    m_configure->present();
}

void tessaro::cmdhelp_Click()
{
    if (!m_help)
        m_help = std::make_unique<frmhelp>();
    m_help->present();
}

void tessaro::Command1_Click() { unload(); }

void tessaro::closeRequested() { unload(); }

void tessaro::destroyed()
{
    // The program ends with its main window: the other two go without a
    // word, whatever their state, and nothing is written.  Started servers
    // are processes of their own and keep running.  The objects stay until
    // the program returns: a handler of theirs may still be on the stack,
    // in a message box whose owner has just gone.
    if (m_configure)
        m_configure->unload();
    if (m_help)
        m_help->unload();
    ::PostQuitMessage(0);
}

void tessaro::launchButton_Click(const launch::LaunchEntry &entry)
{
    const launch::LaunchOutcome outcome = launch::launchServer(m_launchState, entry);
    if (outcome.status != launch::LaunchStatus::Started)
        showWarning(hwnd(), design::launchFailureMessage(entry, outcome));
}

}  // namespace win32
