#include "win32/main_window.h"

#include "design/tessaro.h"

namespace win32 {

MainWindow::MainWindow(int showCommand)
    : TopLevelWindow(design::mainWindowDesign(),
                     [this](design::WindowView &view) { return std::make_unique<design::tessaro>(view, *this); })
{
    load(nullptr, showCommand);
}

MainWindow::~MainWindow()
{
    m_configure.reset();
    m_help.reset();
    if (m_hiddenOwner)
        ::DestroyWindow(m_hiddenOwner);
}

void MainWindow::show(int showCommand)
{
    ::ShowWindow(hwnd(), showCommand);
    ::UpdateWindow(hwnd());
}

void MainWindow::present(design::SecondaryWindow window)
{
    std::unique_ptr<SecondaryWindow> &instance = window == design::SecondaryWindow::Configure ? m_configure : m_help;
    if (!instance) {
        const design::SecondaryForm form = design::secondaryForm(window);
        if (!form.design.inTaskbar && !m_hiddenOwner) {
            m_hiddenOwner = ::CreateWindowExW(0, L"STATIC", L"Tessaro", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                              ::GetModuleHandleW(nullptr), nullptr);
        }
        instance = std::make_unique<SecondaryWindow>(form, form.design.inTaskbar ? nullptr : m_hiddenOwner);
    }
    instance->present();
}

// A start on Windows never waits for anything (CreateProcess opens the
// server's console itself), so there is nothing to watch: the behaviour
// hears at once that the start is final.
void MainWindow::watch(int, std::chrono::steady_clock::time_point, std::function<void()> then) { then(); }

void MainWindow::destroyed()
{
    // The other two go with the main window, whatever their state.  The
    // objects stay until the program returns: a handler of theirs may still
    // be on the stack, in a message box whose owner has just gone.
    if (m_configure)
        m_configure->unload();
    if (m_help)
        m_help->unload();
    ::PostQuitMessage(0);
}

}  // namespace win32
