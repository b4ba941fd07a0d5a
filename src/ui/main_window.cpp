#include "ui/main_window.h"

#include "design/tessaro.h"

#include <QCloseEvent>
#include <QSocketNotifier>
#include <QTimer>

namespace ui {

namespace {

// Calls its function once: when the descriptor is readable or the deadline
// has passed, whichever comes first; then it goes.
class OneWatch : public QObject {
public:
    OneWatch(int descriptor, std::chrono::steady_clock::time_point deadline, std::function<void()> then,
             QObject *parent)
        : QObject(parent), m_readable(descriptor, QSocketNotifier::Read), m_then(std::move(then))
    {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        m_deadline.setSingleShot(true);
        m_deadline.start(std::max(left, std::chrono::milliseconds(0)));
        connect(&m_readable, &QSocketNotifier::activated, this, &OneWatch::fire);
        connect(&m_deadline, &QTimer::timeout, this, &OneWatch::fire);
    }

private:
    void fire()
    {
        m_readable.setEnabled(false);
        m_deadline.stop();
        deleteLater();
        m_then();
    }

    QSocketNotifier m_readable;
    QTimer m_deadline;
    std::function<void()> m_then;
};

}  // namespace

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

void MainWindow::watch(int descriptor, std::chrono::steady_clock::time_point deadline, std::function<void()> then)
{
    new OneWatch(descriptor, deadline, std::move(then), this);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The other two go with the main window, whatever their state.
    delete m_configure;
    delete m_help;
    event->accept();
}

}  // namespace ui
