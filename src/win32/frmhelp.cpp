#include "frmhelp.h"

#include "design/window_design.h"

namespace win32 {

frmhelp::frmhelp() : TopLevelWindow(design::helpWindowDesign()) {}

void frmhelp::clicked(const design::Control &button)
{
    if (button.name == "Command1")
        Command1_Click();
}

void frmhelp::Command1_Click() { ::ShowWindow(hwnd(), SW_HIDE); }

}  // namespace win32
