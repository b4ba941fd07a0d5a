#include "design/frmhelp.h"

namespace design {

frmhelp::frmhelp(WindowView &view) : m_view(view) {}

void frmhelp::click(const Control &button)
{
    if (button.onClick == Handler::HideWindow)
        Command1_Click();
}

void frmhelp::Command1_Click() { m_view.hideWindow(); }

}  // namespace design
