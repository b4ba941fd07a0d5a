#include "ui/main_window.h"

#include "design/tessaro.h"

#include <QCloseEvent>

namespace ui {

MainWindow::MainWindow(Showing showing) : FormWindow(design::mainWindowDesign(), showing)
{
    load(std::make_unique<design::tessaro>(*this, *this));
}

MainWindow::~MainWindow()
{
    delete m_configure;
    delete m_help;
}

void MainWindow::present(design::SecondaryWindow window)
{
    QPointer<SecondaryWindow> &instance = window == design::SecondaryWindow::Configure ? m_configure : m_help;
    if (!instance)
        instance = new SecondaryWindow(design::secondaryForm(window));
    instance->present();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The other two go with the main window, whatever their state.
    delete m_configure;
    delete m_help;
    event->accept();
}

}  // namespace ui
