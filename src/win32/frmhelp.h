#pragma once

#include "top_level_window.h"

namespace win32 {

// The Help window: four help texts and Close.  Close hides it where and as
// large as it is; the close box unloads it.
class frmhelp : public TopLevelWindow {
public:
    frmhelp();

    // Shows the window modeless, loading it first if it is not loaded, and
    // restores it when the user has minimised it.
    void present() { TopLevelWindow::present(); }

protected:
    void clicked(const design::Control &button) override;

private:
    void Command1_Click();
};

}  // namespace win32
