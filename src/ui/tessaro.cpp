#include "tessaro.h"

#include "design/messages.h"
#include "design/window_design.h"
#include "form1.h"
#include "frmhelp.h"
#include "messages.h"
#include "tab_control.h"
#include "window_renderer.h"

#include <QCloseEvent>
#include <QPushButton>

tessaro::tessaro(QWidget *parent, ui::Showing showing)
    : QWidget(parent, ui::windowFlags(design::mainWindowDesign()))
{
    createControls(showing);
    Form_Load();
}

tessaro::~tessaro()
{
    delete m_configure;
    delete m_help;
}

Form1 *tessaro::configureDialog() const { return m_configure; }

frmhelp *tessaro::helpWindow() const { return m_help; }

void tessaro::createControls(ui::Showing showing)
{
    const design::WindowDesign &design = design::mainWindowDesign();
    const ui::WindowControls controls(this, design, showing);
    m_tabs = controls.at<ui::TabControl>("SSTab1");
    connect(controls.at<QPushButton>("cmdConfig"), &QPushButton::clicked, this, &tessaro::cmdConfig_Click);
    connect(controls.at<QPushButton>("cmdhelp"), &QPushButton::clicked, this, &tessaro::cmdhelp_Click);
    connect(controls.at<QPushButton>("Command1"), &QPushButton::clicked, this, &tessaro::Command1_Click);
    for (const design::Control &control : design.controls) {
        if (const launch::LaunchEntry *entry = control.launchEntry) {
            connect(controls.at<QPushButton>(control.name), &QPushButton::clicked, this,
                    [this, entry] { launchButton_Click(*entry); });
        }
    }
}

void tessaro::Form_Load() { m_tabs->setCurrentIndex(design::MainTab); }

void tessaro::cmdConfig_Click()
{
    if (!m_configure)
        m_configure = new Form1;
    m_configure->present();
}

void tessaro::cmdhelp_Click()
{
    if (!m_help)
        m_help = new frmhelp;
    m_help->present();
}

void tessaro::Command1_Click() { close(); }

void tessaro::launchButton_Click(const launch::LaunchEntry &entry)
{
    const launch::LaunchOutcome outcome = launch::launchServer(m_launchState, entry);
    if (outcome.status != launch::LaunchStatus::Started)
        ui::showWarning(this, ui::toWarning(design::launchFailureMessage(entry, outcome)));
}

void tessaro::closeEvent(QCloseEvent *event)
{
    // The program ends with its main window: the other two go without a
    // word, whatever their state, and nothing is written.
    delete m_configure;
    delete m_help;
    event->accept();
}
