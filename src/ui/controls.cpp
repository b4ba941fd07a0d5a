#include "ui/controls.h"

#include "ui/stand_in_font.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <qdrawutil.h>
#include <QStyleOptionFrame>
#include <QStylePainter>

#ifdef TESSARO_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace ui {

namespace {

// Outside a dialog, Qt's push buttons ignore Enter; here Enter presses the
// focused button as Space does.  Only real presses count: holding Enter on a
// launch button must not start a server per auto-repeat.
class EnterPressesButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        if (key->modifiers() & ~Qt::KeypadModifier)
            return false;
        if (!key->isAutoRepeat())
            static_cast<QPushButton *>(watched)->click();
        return true;
    }
};

// A frame as the layout was drawn: the caption stands in the top border, a
// little in from the left, and the border runs through the caption's middle.
// (Some styles put the caption above the border instead, which would push
// the outline into the controls placed just under it.)
class Frame : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        const QFontMetrics metrics(font());
        const QRect caption(kCaptionIndent, 0, metrics.horizontalAdvance(title()) + 2 * kCaptionPadding,
                            metrics.height());

        // The etched outline of a classic group box.
        painter.save();
        painter.setClipRegion(QRegion(rect()) - caption);
        qDrawShadeRect(&painter, rect().adjusted(0, metrics.height() / 2, 0, 0), palette(), true, 1, 0);
        painter.restore();

        painter.drawItemText(caption, Qt::AlignCenter | Qt::TextShowMnemonic, palette(), isEnabled(), title(),
                             QPalette::WindowText);
    }

private:
    static constexpr int kCaptionIndent = 6;
    static constexpr int kCaptionPadding = 2;
};

// Wider and taller than any text a window of this program holds.
constexpr int kUnbounded = 1 << 20;

// A wrapped label drawn for a narrower font than the system has would lose
// its last line; its letters are set a little closer (down to 90 %) instead.
void fitTextToBox(QLabel *label)
{
    const int flags = Qt::TextWordWrap | static_cast<int>(label->alignment());
    const auto fits = [&](const QFont &font) {
        return QFontMetrics(font).boundingRect(QRect(0, 0, label->width(), kUnbounded), flags, label->text()).height()
               <= label->height();
    };
    // Most texts fit as they are, and keep the font that the others share.
    QFont font = label->font();
    for (int spacing = 100; spacing > 90 && !fits(font);)
        font.setLetterSpacing(QFont::PercentageSpacing, --spacing);
    if (font != label->font())
        label->setFont(font);
}

// A single-line text box.  Alt with a letter is a command, never typing: a
// letter that is not one of the window's access keys (those act before the
// box sees the key) must not land in a directory.  And its text stays whole in
// the design's low boxes, whatever frame and padding the style keeps.
class TextBox : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        // Ctrl+Alt is left alone: some keyboards type with it as AltGr ("@", "\\").
        const bool altOnly = (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) == Qt::AltModifier;
        if (altOnly && !event->text().isEmpty()) {
            event->ignore();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

    bool event(QEvent *event) override
    {
        const bool handled = QLineEdit::event(event);
        switch (event->type()) {
        case QEvent::Polish:  // the style has just set its text margins
        case QEvent::StyleChange:
        case QEvent::FontChange:
        case QEvent::Resize:
            keepTextWhole();
            break;
        default:
            break;
        }
        return handled;
    }

private:
    // Adwaita pads the text by 2 pixels above and below inside its 3-pixel
    // frame, which leaves a 19-pixel box 9 pixels for a 12-pixel line: the
    // bottom of "q" is cut off and "quake" reads "ouake".  The line takes the
    // height it needs from that padding, evenly above and below.
    void keepTextWhole()
    {
        QStyleOptionFrame option;
        initStyleOption(&option);
        const QMargins margins = textMargins();
        const int room = style()->subElementRect(QStyle::SE_LineEditContents, &option, this).height() - margins.top()
                         - margins.bottom();
        const int missing = fontMetrics().height() - room;
        if (missing > 0)
            setTextMargins(margins.left(), margins.top() - (missing + 1) / 2, margins.right(),
                           margins.bottom() - missing / 2);
    }
};

}  // namespace

QGroupBox *createFrame(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *frame = new Frame(caption, parent);
    frame->setObjectName(QLatin1String(name));
    frame->setFont(designBoldFont());
    frame->setGeometry(geometry);
    return frame;
}

QLabel *createLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry,
                    design::LabelLayout layout)
{
    using design::LabelLayout;
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(designFont());  // explicit, so that a bold frame around it does not pass its weight on
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    switch (layout) {
    case LabelLayout::OneLine:
    case LabelLayout::OneLineCentred: {
        // What QLabel::sizeHint() gives a frameless label, from one layout
        // of the text instead of its three (and without polishing it early).
        const QSize hint = label->fontMetrics()
                               .boundingRect(QRect(0, 0, kUnbounded, kUnbounded), Qt::AlignLeft, text)
                               .size();
        label->setGeometry(geometry.left(), geometry.top(), hint.width(), std::max(geometry.height(), hint.height()));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        break;
    }
    case LabelLayout::WrappedLeft:
    case LabelLayout::WrappedCentred:
        label->setWordWrap(true);
        label->setAlignment((layout == LabelLayout::WrappedLeft ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignTop);
        label->setGeometry(geometry);
        fitTextToBox(label);
        break;
    }
    return label;
}

QPushButton *createButton(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setFont(designFont());
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setGeometry(geometry);
    button->installEventFilter(new EnterPressesButton(button));
    return button;
}

QLineEdit *createTextBox(QWidget *parent, const char *name, const QRect &geometry, const QString &accessibleName)
{
    auto *box = new TextBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(accessibleName);
    box->setFont(designFont());
    box->setGeometry(geometry);
    return box;
}

void setFocusChain(const std::vector<QWidget *> &chain)
{
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void keepOutOfTaskbar(QWidget *window)
{
#ifdef TESSARO_HAVE_XCB
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !x11 || !x11->connection())
        return;  // not on X11 (offscreen, Wayland): the window manager decides
    xcb_connection_t *connection = x11->connection();
    auto atom = [connection](const char *name) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(qstrlen(name)), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return value;
    };
    // Qt merges its own states into this property before it maps the window.
    const xcb_atom_t states[] = {atom("_NET_WM_STATE_SKIP_TASKBAR"), atom("_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()),
                        atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 2, states);
    xcb_flush(connection);
#else
    Q_UNUSED(window);
#endif
}

}  // namespace ui
