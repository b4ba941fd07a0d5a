#include "frmhelp.h"

#include "design/window_design.h"
#include "window_renderer.h"

#include <QPushButton>

frmhelp::frmhelp() : SecondaryWindow(design::helpWindowDesign())
{
    const ui::WindowControls controls(this, design::helpWindowDesign());
    connect(controls.at<QPushButton>("Command1"), &QPushButton::clicked, this, &frmhelp::Command1_Click);
}

void frmhelp::Command1_Click() { hide(); }
