#pragma once

#include "ui/form_window.h"

#include <QPointer>

namespace ui {

// The main window on Qt.  It owns the program's one Configure dialog and
// Help window; when it closes, the program ends.
class MainWindow : public FormWindow, public design::Desktop {
    Q_OBJECT

public:
    explicit MainWindow(Showing showing = Showing::ByCaller);
    ~MainWindow() override;

    void present(design::SecondaryWindow window) override;
    void watch(int descriptor, std::chrono::steady_clock::time_point deadline, std::function<void()> then) override;

    // The secondary windows while they exist (tests look at them).
    SecondaryWindow *configureDialog() const { return m_configure; }
    SecondaryWindow *helpWindow() const { return m_help; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPointer<SecondaryWindow> m_configure;
    QPointer<SecondaryWindow> m_help;
};

}  // namespace ui
