#include "ui/tab_control.h"

#include <QApplication>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>

namespace ui {

namespace {

// Tabs of equal width filling the row, as many as there are captions.
class EvenTabBar : public QTabBar {
public:
    EvenTabBar(int rowHeight, QWidget *parent) : QTabBar(parent), m_rowHeight(rowHeight)
    {
        setExpanding(false);
        setUsesScrollButtons(false);
        setElideMode(Qt::ElideNone);
        setDrawBase(false);  // the pane's frame draws the line under the tabs
    }

protected:
    QSize tabSizeHint(int index) const override
    {
        const int tabs = std::max(1, count());
        const int total = parentWidget()->width();
        // Spread the remainder over the first tabs so that the row is filled exactly.
        const int base = total / tabs;
        return QSize(base + (index < total % tabs ? 1 : 0), m_rowHeight);
    }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }

private:
    int m_rowHeight;
};

}  // namespace

TabControl::TabControl(const QStringList &captions, int rowHeight, const QRect &geometry, QWidget *parent)
    : QWidget(parent)
    , m_tabBar(new EvenTabBar(rowHeight, this))
    , m_rowHeight(rowHeight)
{
    for (const QString &caption : captions) {
        m_tabBar->addTab(caption);
        auto *page = new QWidget(this);
        page->hide();
        m_pages.push_back(page);
    }
    setGeometry(geometry);
    layoutContents();
    setFocusProxy(m_tabBar);
    setFocusPolicy(m_tabBar->focusPolicy());
    connect(m_tabBar, &QTabBar::currentChanged, this, &TabControl::showPage);
    showPage(m_tabBar->currentIndex());
}

int TabControl::currentIndex() const { return m_tabBar->currentIndex(); }

void TabControl::setCurrentIndex(int index) { m_tabBar->setCurrentIndex(index); }

void TabControl::showPage(int index)
{
    if (index == m_shownPage || index < 0)
        return;
    QWidget *focused = QApplication::focusWidget();
    const bool focusOnLeavingPage = m_shownPage >= 0 && focused && page(m_shownPage)->isAncestorOf(focused);

    emit aboutToShowPage(index);
    page(index)->show();
    if (m_shownPage >= 0)
        page(m_shownPage)->hide();
    m_shownPage = index;
    // A control that disappears with its tab hands the focus to the tab row,
    // where the next Tab leads into the new tab's controls.
    if (focusOnLeavingPage)
        m_tabBar->setFocus(Qt::OtherFocusReason);
    update();
    emit currentChanged(index);
}

QRect TabControl::paneRect() const
{
    const int overlap = style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this);
    return QRect(0, m_rowHeight - overlap, width(), height() - m_rowHeight + overlap);
}

void TabControl::resizeEvent(QResizeEvent *) { layoutContents(); }

void TabControl::layoutContents()
{
    m_tabBar->setGeometry(0, 0, width(), m_rowHeight);
    for (QWidget *page : m_pages)
        page->setGeometry(0, m_rowHeight, width(), height() - m_rowHeight);
}

void TabControl::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionTabWidgetFrame option;
    option.initFrom(this);
    option.rect = paneRect();
    option.shape = QTabBar::RoundedNorth;
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    option.tabBarSize = m_tabBar->size();
    option.tabBarRect = m_tabBar->geometry();
    if (m_tabBar->currentIndex() >= 0)
        option.selectedTabRect = m_tabBar->tabRect(m_tabBar->currentIndex()).translated(m_tabBar->pos());
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, option);
}

}  // namespace ui
