#pragma once

#include "design/form.h"

namespace design {

// The Help window's behaviour: four fixed texts, and Close hides the window.
class frmhelp : public Form {
public:
    explicit frmhelp(WindowView &view);

    void click(const Control &button) override;

private:
    void Command1_Click();

    WindowView &m_view;
};

}  // namespace design
