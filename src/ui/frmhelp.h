#pragma once

#include "secondary_window.h"

// The Help window: four framed help texts and Close.
class frmhelp : public SecondaryWindow {
    Q_OBJECT

public:
    frmhelp();

private:
    void Command1_Click();
};
