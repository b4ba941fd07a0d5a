#pragma once

#include "win32/top_level_window.h"

#include <memory>

namespace win32 {

// The main window on Windows.  It owns the program's one Configure dialog and
// Help window, and the program's run: when it goes, the program ends.
class MainWindow : public TopLevelWindow, public design::Desktop {
public:
    // Loads the window, shown with `showCommand` (as WinMain is given it);
    // hidden by default, for show() to show.
    explicit MainWindow(int showCommand = SW_HIDE);
    ~MainWindow() override;

    void show(int showCommand);

    void present(design::SecondaryWindow window) override;
    void watch(int descriptor, std::chrono::steady_clock::time_point deadline, std::function<void()> then) override;

    // The secondary windows once first used (tests look at them).
    SecondaryWindow *configureDialog() const { return m_configure.get(); }
    SecondaryWindow *helpWindow() const { return m_help.get(); }

protected:
    void destroyed() override;

private:
    // Owns the windows that stay out of the taskbar and is never shown.  An
    // unowned window is always in the taskbar; one owned by a hidden window
    // is not, and stays independent of the main window (it is not minimised
    // with it and stays in place when the main window is in front).
    HWND m_hiddenOwner = nullptr;
    std::unique_ptr<SecondaryWindow> m_configure;
    std::unique_ptr<SecondaryWindow> m_help;
};

}  // namespace win32
