#include "frmhelp.h"

#include "design/window_design.h"
#include "window_renderer.h"

#include <QPushButton>

frmhelp::frmhelp(QWidget *parent) : QWidget(parent, ui::windowFlags(design::helpWindowDesign()))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    const ui::WindowControls controls(this, design::helpWindowDesign());
    connect(controls.at<QPushButton>("Command1"), &QPushButton::clicked, this, &frmhelp::Command1_Click);
}

void frmhelp::present()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void frmhelp::Command1_Click() { hide(); }
