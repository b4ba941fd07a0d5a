#pragma once

// Driving the windows as a user would, without a display: keys and clicks
// through Qt Test, the focus as the user sees it.

#include "ui/tab_control.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Qt Test's QTRY_ macros report to Qt Test, which a GoogleTest run never
// hears from; these wait the same way and fail the GoogleTest case.
#define EXPECT_EVENTUALLY(condition) \
    EXPECT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); })) << "never true: " #condition
#define ASSERT_EVENTUALLY(condition) \
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); })) << "never true: " #condition

namespace ui_testing {

// Shows the window and makes it the active one, so that shortcuts reach it.
inline void showActive(QWidget &window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

template <typename T = QWidget>
T *child(const QWidget &window, const char *name)
{
    T *found = window.findChild<T *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Shows each tab once, the first last, as a user who looks at them all: the
// controls of a tab are made when it is first shown.
inline void showEveryTab(const QWidget &window)
{
    auto *tabs = window.findChild<ui::TabControl *>(QStringLiteral("SSTab1"));
    ASSERT_NE(tabs, nullptr);
    for (int tab = tabs->count() - 1; tab >= 0; --tab)
        tabs->setCurrentIndex(tab);
}

// The focused control's name; a tab row answers with its tab control's name.
inline std::string focusName()
{
    QWidget *focused = QApplication::focusWidget();
    if (!focused)
        return "(none)";
    for (QWidget *owner = focused->parentWidget(); owner; owner = owner->parentWidget()) {
        if (owner->focusProxy() == focused)
            return owner->objectName().toStdString();
    }
    return focused->objectName().toStdString();
}

// Presses Tab (or Shift+Tab) `count` times and names the focus after each.
inline std::vector<std::string> tabThrough(int count, bool backwards = false)
{
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        names.push_back(focusName());
    }
    return names;
}

// How many windows of this design exist (visible or hidden).
inline int windowsNamed(const char *className)
{
    int count = 0;
    for (QWidget *top : QApplication::topLevelWidgets())
        count += top->objectName() == QLatin1String(className);
    return count;
}

// A key as the keyboard delivers it while held down.
inline void holdKey(QWidget *target, Qt::Key key, int repeats)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    for (int i = 0; i < repeats; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(target, &repeat);
    }
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// Whether a label shows all of its text inside its box in its own font.
inline bool textFits(const QLabel &label)
{
    const QFontMetrics metrics(label.font());
    if (!label.wordWrap())
        return metrics.horizontalAdvance(label.text()) <= label.width() && metrics.height() <= label.height();
    const int flags = Qt::TextWordWrap | static_cast<int>(label.alignment());
    const QRect needed = metrics.boundingRect(QRect(0, 0, label.width(), 1 << 20), flags, label.text());
    return needed.height() <= label.height() && needed.width() <= label.width();
}

}  // namespace ui_testing
