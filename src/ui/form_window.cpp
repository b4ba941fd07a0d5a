#include "ui/form_window.h"

#include "ui/local_text.h"
#include "ui/tab_control.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QWindow>

namespace ui {

FormWindow::FormWindow(const design::WindowDesign &design, Showing showing)
    : QWidget(nullptr, ui::windowFlags(design))
    , m_design(design)
    , m_widgets(this, design, showing, [this](const design::Control &button) { m_form->click(button); })
{
}

FormWindow::~FormWindow() = default;

void FormWindow::load(std::unique_ptr<design::Form> form)
{
    m_form = std::move(form);
    m_form->Form_Load();
}

// A box that still shows what the file held gives back the file's bytes,
// which may not be UTF-8 (a file from Windows, shown as Windows would show
// it).  A box the user changed gives the UTF-8 of what it shows: the "ä" the
// user saw and kept becomes C3 A4, the way this system writes it.
std::string FormWindow::boxText(const design::Control &box) const
{
    const QString text = m_widgets.at<QLineEdit>(box.name)->text();
    const auto loaded = m_boxBytes.find(box.name);
    if (loaded != m_boxBytes.end() && text == fromSystem(loaded->second))
        return loaded->second;
    return toSystem(text);
}

void FormWindow::setBoxText(const design::Control &box, const std::string &text)
{
    m_boxBytes[box.name] = text;
    m_widgets.at<QLineEdit>(box.name)->setText(fromSystem(text));
}

void FormWindow::focusControl(const design::Control &control) { m_widgets.at(control.name)->setFocus(); }

void FormWindow::selectTab(int tab)
{
    for (const design::Control &control : m_design.controls) {
        if (control.kind == design::ControlKind::TabControl)
            m_widgets.at<TabControl>(control.name)->setCurrentIndex(tab);
    }
}

void FormWindow::hideWindow() { hide(); }

void FormWindow::unloadWindow() { close(); }

namespace {

constexpr QChar kLineBreakChance(0x200B);  // a zero-width space

// Qt breaks a line only between words and after a slash, so a path with long
// names would stand wider than the screen and be cut off.  Such a run gets
// places to break, which the text copied from the box leaves out.
QString breakable(const QString &text)
{
    constexpr int kLongestRun = 40;
    QString broken;
    int run = 0;
    for (const QChar c : text) {
        if (c.isSpace() || c == u'/')
            run = 0;
        else if (++run > kLongestRun) {
            broken += kLineBreakChance;
            run = 1;
        }
        broken += c;
    }
    return broken;
}

class WarningBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        QMessageBox::keyPressEvent(event);
        if (event->matches(QKeySequence::Copy))
            QGuiApplication::clipboard()->setText(QGuiApplication::clipboard()->text().remove(kLineBreakChance));
    }
};

}  // namespace

void FormWindow::warn(const design::Message &message)
{
    auto *box = new WarningBox(QMessageBox::Warning, QStringLiteral("Tessaro"), breakable(fromSystem(message.text)),
                               QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("warning"));
    box->setInformativeText(breakable(fromSystem(message.advice)));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);  // over this window only
    box->open();
}

SecondaryWindow::SecondaryWindow(const design::SecondaryForm &form) : FormWindow(form.design, Showing::ByCaller)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);  // it never ends the program
    load(form.make(*this));
}

void SecondaryWindow::present()
{
    // Qt gives the window manager a window's position (USPosition) only if
    // the program set it; a window the user dragged is then placed anew each
    // time it is mapped.  Setting the client geometry it had on the QWindow
    // makes that position the program's own.  (Not QWidget::move: it changes
    // nothing when the place is the same, and a frame position would shift
    // the window by its title bar at every show.)
    if (isHidden() && m_place.isValid())
        windowHandle()->setGeometry(m_place);
    // A window manager may offer to minimise a window whose design has no
    // such button; raising alone would leave it minimised and out of reach.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    form().shown();
}

void SecondaryWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_place = geometry();
}

}  // namespace ui
