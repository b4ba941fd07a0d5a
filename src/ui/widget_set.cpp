#include "ui/widget_set.h"

#include "ui/controls.h"
#include "ui/stand_in_font.h"
#include "ui/tab_control.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ui {

namespace {

using design::ControlKind;

QString text(const std::string &utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Keeps a window out of the taskbar each time it is about to be mapped.
class OutOfTaskbar : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            keepOutOfTaskbar(static_cast<QWidget *>(watched));
        return false;
    }
};

}  // namespace

Qt::WindowFlags windowFlags(const design::WindowDesign &design)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                            | Qt::WindowCloseButtonHint;
    if (design.minimiseButton)
        flags |= Qt::WindowMinimizeButtonHint;
    if (design.maximiseButton)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

WidgetSet::WidgetSet(QWidget *window, const design::WindowDesign &design, Showing showing, Pressed pressed)
    : m_window(window), m_design(design), m_pressed(std::move(pressed))
{
    window->setObjectName(text(design.className));
    window->setWindowTitle(text(design.caption));
    const QSize size = toPixels(design.clientArea).size();
    if (design.border == design::Border::Fixed)
        window->setFixedSize(size);
    else
        window->resize(size);  // no layout: growing the window moves nothing
    if (!design.inTaskbar)
        window->installEventFilter(new OutOfTaskbar(window));
    if (showing == Showing::BeforeControls)
        window->show();  // Qt sends the request to map it at once, before the fonts are needed
    window->setFont(designFont());

    createControls(design::kNoTab);
    createControls(0);
    // Controls made on a window already shown stay hidden until shown
    // themselves; what stands on them follows.
    if (showing == Showing::BeforeControls) {
        for (const design::Control &control : design.controls) {
            if (control.parent.empty())
                at(control.name)->show();
        }
    }
    if (const std::vector<const design::Control *> chain = design.focusChain(); !chain.empty())
        at(chain.front()->name)->setFocus();
}

QWidget *WidgetSet::at(std::string_view name) const
{
    const auto found = m_widgets.find(name);
    return found == m_widgets.end() ? nullptr : found->second;
}

void WidgetSet::createControls(int tab)
{
    bool created = false;
    for (const design::Control &control : m_design.controls) {
        if (control.tab == tab && !at(control.name)) {
            m_widgets.emplace(control.name, create(control));
            created = true;
        }
    }
    if (created)
        setKeyboardOrder();
}

// Tab and Shift+Tab follow TabIndex over every control made so far; those
// on hidden tabs are skipped.
void WidgetSet::setKeyboardOrder()
{
    std::vector<QWidget *> chain;
    for (const design::Control *control : m_design.focusChain()) {
        if (QWidget *widget = at(control->name))
            chain.push_back(widget);
    }
    if (chain.size() > 1) {
        chain.push_back(chain.front());
        setFocusChain(chain);
    }
}

QWidget *WidgetSet::create(const design::Control &control)
{
    const design::WindowDesign &design = m_design;
    QWidget *parent = control.parent.empty() ? m_window : at(control.parent);
    QRect rect = toPixels(control.rect);
    // The design places controls on a tab from the tab control's corner, its
    // tab row included; the tab's page starts below the row.
    if (auto *tabs = qobject_cast<TabControl *>(parent)) {
        parent = tabs->page(control.tab);
        rect.translate(0, -tabs->rowHeight());
    }
    const char *name = control.name.c_str();
    switch (control.kind) {
    case ControlKind::TabControl: {
        QStringList captions;
        for (const std::string &caption : design.tabCaptions)
            captions << text(caption);
        auto *tabs = new TabControl(captions, design::pixels(design.tabRowHeight), rect, parent);
        tabs->setObjectName(QLatin1String(name));
        // Directly connected: the controls exist before their page is shown.
        QObject::connect(tabs, &TabControl::aboutToShowPage, tabs, [this](int page) { createControls(page); });
        return tabs;
    }
    case ControlKind::Frame:
        return createFrame(parent, name, text(control.text), rect);
    case ControlKind::Label: {
        QLabel *label = createLabel(parent, name, text(control.text), rect, control.layout);
        if (control.layout == design::LabelLayout::OneLineCentred)
            label->move(design::pixels(design.titleCentreLine) - label->width() / 2, label->y());
        return label;
    }
    case ControlKind::PushButton: {
        QPushButton *button = createButton(parent, name, text(control.text), rect);
        QObject::connect(button, &QPushButton::clicked, button, [this, &control] { m_pressed(control); });
        return button;
    }
    case ControlKind::TextBox:
        // A screen reader names a box as its label does.
        return createTextBox(parent, name, rect, text(std::string(design::slotCaption(control.settingsSlot))));
    }
    return nullptr;
}

}  // namespace ui
