#pragma once

// Builds the controls of the three windows: every control at a fixed place
// in the design font, with the keyboard behaviour of the program's buttons.

#include "design/twips.h"
#include "design/window_design.h"

#include <QRect>
#include <QString>

#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace ui {

// The layout's twips as a Qt rectangle at 96 dots per inch: Qt's high-DPI
// scaling then keeps the whole layout proportional.
inline QRect toPixels(const design::Twips &twips)
{
    const design::PixelRect rect = twips.toPixels();
    return QRect(rect.left, rect.top, rect.width, rect.height);
}

// A group box with a bold caption; what it holds stays in the regular font.
QGroupBox *createFrame(QWidget *parent, const char *name, const QString &caption, const QRect &geometry);

// A static label in the regular font.  A one-line label (centred or not)
// keeps the geometry's left edge and height (or its text's, if taller) and
// takes its text's width; centring it is left to the caller.
QLabel *createLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry,
                    design::LabelLayout layout);

// A push button whose caption may carry an access key ("E&xit").  Enter and
// Return press it while it has the focus, once per press: a held key's
// auto-repeat does not press it again.
QPushButton *createButton(QWidget *parent, const char *name, const QString &caption, const QRect &geometry);

// A single-line text box, in which Alt with a letter types nothing and whose
// text is whole whatever the style; a screen reader calls it `accessibleName`.
QLineEdit *createTextBox(QWidget *parent, const char *name, const QRect &geometry, const QString &accessibleName);

// Tab and Shift+Tab visit these widgets in this order, across containers.
void setFocusChain(const std::vector<QWidget *> &chain);

// Asks the window manager to leave the window out of the taskbar.  Call it
// from the window's showEvent: it must be set before every mapping.
void keepOutOfTaskbar(QWidget *window);

}  // namespace ui
