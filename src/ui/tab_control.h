#pragma once

#include <QWidget>

#include <vector>

class QTabBar;

namespace ui {

// A row of tabs over a framed pane, with one page per tab.  Pages start right
// below the tab row; only the current page is shown, so the controls of the
// other tabs can be neither clicked nor focused.  Keyboard focus on the
// control means focus on its tab row.
class TabControl : public QWidget {
    Q_OBJECT

public:
    // Every tab is as wide as the control divided by the number of tabs; the
    // row is `rowHeight` high.
    TabControl(const QStringList &captions, int rowHeight, const QRect &geometry, QWidget *parent = nullptr);

    QWidget *page(int index) const { return m_pages.at(static_cast<std::size_t>(index)); }
    int count() const { return static_cast<int>(m_pages.size()); }
    int currentIndex() const;
    void setCurrentIndex(int index);
    int rowHeight() const { return m_rowHeight; }
    QTabBar *tabBar() const { return m_tabBar; }

signals:
    // A page is about to be shown for the first time or again.
    void aboutToShowPage(int index);
    void currentChanged(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showPage(int index);
    void layoutContents();
    QRect paneRect() const;

    QTabBar *m_tabBar;
    std::vector<QWidget *> m_pages;
    int m_rowHeight;
    int m_shownPage = -1;
};

}  // namespace ui
