#pragma once

#include "top_level_window.h"

#include "design/messages.h"

#include <optional>

namespace win32 {

// The Configure dialog: nine directories, Apply and Close.  Close hides it
// with everything typed; the close box unloads it, and the next showing
// reads the settings file again.
class Form1 : public TopLevelWindow {
public:
    // `owner` is the program's hidden window, which keeps the dialog out of
    // the taskbar (see tessaro.h).
    explicit Form1(HWND owner);

    // Shows the dialog modeless, loading it first if it is not loaded.
    void present() { TopLevelWindow::present(m_owner); }

    // The text box of a settings slot (1 to 9) while the dialog is loaded.
    HWND boxForSlot(int slot) const;

protected:
    void Form_Load() override;
    void shown() override;
    void clicked(const design::Control &button) override;

private:
    void Command2_Click();
    void Command1_Click();

    HWND m_owner;
    std::optional<design::Message> m_loadWarning;  // said once the dialog is visible
};

}  // namespace win32
