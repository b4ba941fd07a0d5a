#include "settings/settings_file.h"
#include "support/test_support.h"
#include "ui/main_window.h"
#include "ui/widget_testing.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QStyle>
#include <QStyleFactory>

#include <csignal>
#include <cstring>
#include <memory>
#include <optional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;
using namespace ui_testing;

namespace {

// The boxes by slot, as a user finds them by their labels.
const std::array<const char *, 9> kBoxOfSlot{"txtDir", "Text1", "Text2", "Text3", "Text4",
                                             "Text5",  "Text6", "Text7", "Text8"};

const std::string kFileLine = "/srv/quake,fortress,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n";

// Permission bits bind root too while this lives: the process acts as nobody.
class ActAsNobody {
public:
    ActAsNobody()
    {
        if (::geteuid() == 0)
            m_dropped = ::seteuid(65534) == 0;
    }
    ~ActAsNobody()
    {
        if (m_dropped)
            (void)::seteuid(0);
    }

private:
    bool m_dropped = false;
};

class ConfigureDialog : public ::testing::Test {
protected:
    FakeQuake quake;
    ScopedCurrentDirectory cd{quake.root()};
    std::unique_ptr<ui::MainWindow> window = std::make_unique<ui::MainWindow>();

    ui::SecondaryWindow *openConfigure()
    {
        showActive(*window);
        QTest::mouseClick(child<QPushButton>(*window, "cmdConfig"), Qt::LeftButton);
        ui::SecondaryWindow *dialog = window->configureDialog();
        EXPECT_NE(dialog, nullptr);
        if (dialog) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        }
        return dialog;
    }

    QLineEdit *box(ui::SecondaryWindow *dialog, int slot) { return child<QLineEdit>(*dialog, kBoxOfSlot.at(slot - 1)); }
    void apply(ui::SecondaryWindow *dialog) { QTest::mouseClick(child<QPushButton>(*dialog, "Command2"), Qt::LeftButton); }

    QMessageBox *warning(ui::SecondaryWindow *dialog) { return dialog->findChild<QMessageBox *>(); }
};

TEST_F(ConfigureDialog, EachBoxEditsItsOwnSlot)
{
    ui::SecondaryWindow *dialog = openConfigure();
    std::string expected;
    for (int slot = 1; slot <= 9; ++slot) {
        box(dialog, slot)->clear();
        QTest::keyClicks(box(dialog, slot), QStringLiteral("dir %1").arg(slot));
        expected += (slot > 1 ? "," : "") + std::string("dir ") + std::to_string(slot);
    }
    apply(dialog);
    EXPECT_EQ(readFile("tessaro.cfg"), expected + "\r\n");
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ConfigureDialog, LoadingShowsEachSlotInItsBox)
{
    writeFile("tessaro.cfg", kFileLine);
    ui::SecondaryWindow *dialog = openConfigure();
    const std::array<const char *, 9> values{"/srv/quake", "fortress", "ctf", "duel1", "duel2",
                                             "duel3", "duel4", "arena", "requiem"};
    for (int slot = 1; slot <= 9; ++slot) {
        SCOPED_TRACE(kBoxOfSlot.at(slot - 1));
        QLineEdit *text = box(dialog, slot);
        EXPECT_EQ(text->text().toStdString(), values.at(slot - 1));
        // A screen reader names the box as the label standing right above it.
        auto *label = qobject_cast<QLabel *>(dialog->childAt(text->x() + 1, text->y() - 2));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(text->accessibleName(), label->text());
    }
    EXPECT_EQ(focusName(), "txtDir");
    // The rows: Quake, TeamFortress, CTF, Rocket Arena, Requiem, then the duels.
    std::vector<int> rowsBySlot;
    for (int slot : {1, 2, 3, 8, 9, 4, 5, 6, 7})
        rowsBySlot.push_back(box(dialog, slot)->y());
    EXPECT_TRUE(std::is_sorted(rowsBySlot.begin(), rowsBySlot.end()));
    EXPECT_EQ(warning(dialog), nullptr);
}

// Windows-1252 bytes from a Windows machine: shown as Windows shows them and
// written back as they were, unless their box is edited (then as UTF-8).
TEST_F(ConfigureDialog, BytesThatAreNotUtf8AreShownLegiblyAndKeptUnlessEdited)
{
    const std::string line = "/srv/quake,fortress,ctf\xe4,duel\x80\x9f\x81,duel2,duel3,duel4,arena,requiem\r\n";
    writeFile("tessaro.cfg", line);
    ui::SecondaryWindow *dialog = openConfigure();
    EXPECT_EQ(box(dialog, 3)->text(), QStringLiteral(u"ctf\u00e4"));
    EXPECT_EQ(box(dialog, 4)->text(), QStringLiteral(u"duel\u20ac\u0178\u0081"));
    apply(dialog);
    EXPECT_EQ(readFile("tessaro.cfg"), line);

    QTest::keyClicks(box(dialog, 3), QStringLiteral("2"));
    apply(dialog);
    EXPECT_EQ(readFile("tessaro.cfg"),
              "/srv/quake,fortress,ctf\xc3\xa4" "2,duel\x80\x9f\x81,duel2,duel3,duel4,arena,requiem\r\n");
}

TEST_F(ConfigureDialog, ApplyWritesEveryTimeEvenWhenEmpty)
{
    ui::SecondaryWindow *dialog = openConfigure();
    apply(dialog);
    EXPECT_EQ(readFile("tessaro.cfg"), ",,,,,,,,\r\n");
    std::filesystem::remove("tessaro.cfg");
    apply(dialog);
    EXPECT_EQ(readFile("tessaro.cfg"), ",,,,,,,,\r\n");
}

TEST_F(ConfigureDialog, CloseKeepsEditsAndTheTitleBarCloseDropsThem)
{
    writeFile("tessaro.cfg", kFileLine);
    ui::SecondaryWindow *dialog = openConfigure();
    box(dialog, 2)->setText(QStringLiteral("edited"));
    QTest::mouseClick(child<QPushButton>(*dialog, "Command1"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());

    // The file changes meanwhile; a hidden dialog neither notices nor writes.
    writeFile("tessaro.cfg", "/elsewhere,tf,c,d,e,f,g,h,i\r\n");
    EXPECT_EQ(openConfigure(), dialog);
    EXPECT_EQ(box(dialog, 2)->text(), QStringLiteral("edited"));
    EXPECT_EQ(box(dialog, 1)->text(), QStringLiteral("/srv/quake"));
    EXPECT_EQ(readFile("tessaro.cfg"), "/elsewhere,tf,c,d,e,f,g,h,i\r\n");

    QPointer<ui::SecondaryWindow> unloaded = dialog;
    dialog->close();
    ASSERT_EVENTUALLY(unloaded.isNull());
    ui::SecondaryWindow *fresh = openConfigure();
    EXPECT_EQ(box(fresh, 1)->text(), QStringLiteral("/elsewhere"));
    EXPECT_EQ(box(fresh, 2)->text(), QStringLiteral("tf"));
    EXPECT_EQ(windowsNamed("Form1"), 1);
}

TEST_F(ConfigureDialog, ConfigureAgainKeepsTheOneDialogAndItsEdits)
{
    ui::SecondaryWindow *dialog = openConfigure();
    box(dialog, 1)->setText(QStringLiteral("typed"));
    EXPECT_EQ(openConfigure(), dialog);
    EXPECT_EQ(box(dialog, 1)->text(), QStringLiteral("typed"));
    EXPECT_EQ(windowsNamed("Form1"), 1);
}

TEST_F(ConfigureDialog, LaunchesUseTheFileNotTheBoxes)
{
    writeFile("tessaro.cfg", quake.quakeDirectory() + ",fortress,ctf,d1,d2,d3,d4,arena,requiem\r\n");
    quake.setMode("exit");
    ui::SecondaryWindow *dialog = openConfigure();
    box(dialog, 2)->setText(QStringLiteral("unapplied"));
    showActive(*window);
    QTest::keyClick(window.get(), Qt::Key_O, Qt::AltModifier);
    QTest::mouseClick(child<QPushButton>(*window, "cmd27600"), Qt::LeftButton);
    ASSERT_EVENTUALLY(quake.records().size() == 1u);
    EXPECT_EQ(quake.records().begin()->second.argv.at(2), "fortress");
}

TEST_F(ConfigureDialog, KeyboardFollowsTheTabIndexAndOnlyTheDialogsOwnKeysAct)
{
    ui::SecondaryWindow *dialog = openConfigure();
    QApplication::setActiveWindow(dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    EXPECT_EQ(focusName(), "txtDir");
    EXPECT_EQ(tabThrough(11), (std::vector<std::string>{"Command1", "Command2", "Text1", "Text2", "Text3", "Text4",
                                                        "Text5", "Text6", "Text7", "Text8", "txtDir"}));
    EXPECT_EQ(tabThrough(2, true), (std::vector<std::string>{"Text8", "Text7"}));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(exists("tessaro.cfg"));

    // In a box, Alt with a letter types nothing; only the dialog's own Alt+A and Alt+C act.
    QLineEdit *quakeBox = box(dialog, 1);
    quakeBox->setFocus();
    for (int key = Qt::Key_A; key <= Qt::Key_Z; ++key) {
        if (key != Qt::Key_A && key != Qt::Key_C)
            QTest::keyClick(quakeBox, static_cast<Qt::Key>(key), Qt::AltModifier);
    }
    QTest::keyClick(quakeBox, Qt::Key_Q);
    QTest::keyClick(quakeBox, Qt::Key_A, Qt::AltModifier);
    ASSERT_EVENTUALLY(exists("tessaro.cfg"));
    EXPECT_EQ(readFile("tessaro.cfg"), "q,,,,,,,,\r\n");
    QTest::keyClick(quakeBox, Qt::Key_C, Qt::AltModifier);
    ASSERT_EVENTUALLY(!dialog->isVisible());
}

TEST_F(ConfigureDialog, ValuesTheFileCannotCarryAreNamedByTheirBox)
{
    writeFile("tessaro.cfg", kFileLine);
    ui::SecondaryWindow *dialog = openConfigure();
    struct Case {
        int slot;
        QString value;
        QString message;
    };
    const std::vector<Case> cases = {
        {3, QStringLiteral("ctf,2"), QStringLiteral("the CTF Directory contains a comma")},
        {1, QStringLiteral("\"C:\\Quake\""), QStringLiteral("the Quake Directory starts with a double quote")},
        {9, QStringLiteral(" \"requiem"),
         QStringLiteral("the Requiem Directory starts with blanks and a double quote")},
        {1, QStringLiteral("/") + QString(4092, QLatin1Char('q')),
         QStringLiteral("the Quake Directory is too long: with qwsv after it, it makes a path of 4098 bytes")},
    };
    for (const Case &c : cases) {
        const QString before = box(dialog, c.slot)->text();
        box(dialog, c.slot)->setText(c.value);
        apply(dialog);
        ASSERT_EVENTUALLY(warning(dialog));
        EXPECT_TRUE(warning(dialog)->text().contains(c.message)) << warning(dialog)->text().toStdString();
        EXPECT_EQ(readFile("tessaro.cfg"), kFileLine);
        EXPECT_EQ(box(dialog, c.slot)->text(), c.value);
        delete warning(dialog);
        box(dialog, c.slot)->setText(before);
    }
}

// Whatever could be read is shown, and Apply writes it back; a file that
// could not be read at all is not replaced until it is gone.
TEST_F(ConfigureDialog, FilesThatCannotBeReadStillOpenTheDialog)
{
    struct Case {
        const char *name;
        std::function<void()> prepare;
        std::vector<QString> boxes;  // slots 1, 2 and 9 as loaded
        QString reason;
        QString advice;
        std::string afterApply;  // the file; empty: Apply refused and left it be
        std::function<void()> mend = {};  // then the next Apply: afterMend, a file or a warning
        std::string afterMend = {};
        bool asNobody = false;  // so that permission bits bind
    };
    const std::vector<Case> cases = {
        {"short", [] { writeFile("tessaro.cfg", "/srv/quake,fortress,ctf\r\n"); }, {"/srv/quake", "fortress", ""},
         "holds 3 of the nine directories", "Apply will write a complete file", "/srv/quake,fortress,ctf,,,,,,\r\n"},
        {"a NUL in directory 2", [] { writeFile("tessaro.cfg", std::string("q,a\0b,c,d,e,f,g,h,i\r\n", 20)); },
         {"q", "", "i"}, "directory 2 contains a NUL byte", "The TeamFortress Directory box is left empty",
         "q,,c,d,e,f,g,h,i\r\n"},
        {"a pipe", [] { ::mkfifo("tessaro.cfg", 0644); }, {"", "", ""}, "is not a regular file",
         "Move it out of the way, and Apply writes", "", [] { std::filesystem::remove("tessaro.cfg"); },
         ",,,,,,,,\r\n"},
        {"a file the user may not read, in a directory others may write",
         [&] {
             writeFile("tessaro.cfg", kFileLine);
             ::chmod("tessaro.cfg", 0200);
             ::chmod(quake.root().c_str(), 0777);
         },
         {"", "", ""}, "Permission denied", "Apply does not replace a file it could not read", "",
         [] { ::chmod("tessaro.cfg", 0644); }, "can be read now", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove("tessaro.cfg");
        c.prepare();
        QPointer<ui::SecondaryWindow> dialog;
        {
            std::optional<ActAsNobody> nobody;
            if (c.asNobody)
                nobody.emplace();
            dialog = openConfigure();
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(box(dialog, 1)->text(), c.boxes[0]);
            EXPECT_EQ(box(dialog, 2)->text(), c.boxes[1]);
            EXPECT_EQ(box(dialog, 9)->text(), c.boxes[2]);
            ASSERT_EVENTUALLY(warning(dialog));
            EXPECT_TRUE(warning(dialog)->text().contains(c.reason)) << warning(dialog)->text().toStdString();
            EXPECT_TRUE(warning(dialog)->informativeText().contains(c.advice))
                << warning(dialog)->informativeText().toStdString();
            delete warning(dialog);
            apply(dialog);
        }
        ::chmod(quake.root().c_str(), 0755);
        if (c.afterApply.empty()) {
            ASSERT_EVENTUALLY(warning(dialog));
            EXPECT_TRUE(warning(dialog)->text().contains(QStringLiteral("Nothing was written")));
            // Looked at without reading it: it may still be closed to its owner.
            EXPECT_TRUE(!std::filesystem::is_regular_file("tessaro.cfg")
                        || std::filesystem::file_size("tessaro.cfg") == kFileLine.size());
            delete warning(dialog);
            c.mend();
            apply(dialog);
            if (c.afterMend.find(',') == std::string::npos) {
                ASSERT_EVENTUALLY(warning(dialog));
                EXPECT_TRUE(warning(dialog)->text().contains(QString::fromStdString(c.afterMend)));
                EXPECT_EQ(readFile("tessaro.cfg"), kFileLine);
                delete warning(dialog);
            } else {
                EXPECT_EQ(readFile("tessaro.cfg"), c.afterMend);
            }
        } else {
            EXPECT_EQ(readFile("tessaro.cfg"), c.afterApply);
        }
        dialog->close();
        ASSERT_EVENTUALLY(dialog.isNull());
    }
}

TEST_F(ConfigureDialog, FailedApplyKeepsTheOldFileAndTheTypedText)
{
    writeFile("tessaro.cfg", kFileLine);
    ui::SecondaryWindow *dialog = openConfigure();
    box(dialog, 2)->setText(QStringLiteral("a much longer TeamFortress directory than before"));

    struct Case {
        const char *name;
        std::function<void()> apply;
        QString reason;
    };
    const std::vector<Case> cases = {
        {"read-only directory",
         [&] {
             ::chmod(quake.root().c_str(), 0555);
             ::chmod("tessaro.cfg", 0644);  // root's, so not nobody's to write
             {
                 ActAsNobody nobody;
                 apply(dialog);
             }
             ::chmod(quake.root().c_str(), 0755);
         },
         QStringLiteral("Permission denied")},
        {"file-size limit",
         [&] {
             rlimit previous{};
             ::getrlimit(RLIMIT_FSIZE, &previous);
             auto *previousHandler = std::signal(SIGXFSZ, SIG_IGN);
             rlimit tight = previous;
             tight.rlim_cur = 16;
             ::setrlimit(RLIMIT_FSIZE, &tight);
             apply(dialog);
             ::setrlimit(RLIMIT_FSIZE, &previous);
             std::signal(SIGXFSZ, previousHandler);
         },
         QStringLiteral("File too large")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.apply();
        ASSERT_EVENTUALLY(warning(dialog));
        EXPECT_TRUE(warning(dialog)->text().contains(c.reason)) << warning(dialog)->text().toStdString();
        EXPECT_TRUE(warning(dialog)->informativeText().contains(QStringLiteral("left as it was")));
        EXPECT_EQ(readFile("tessaro.cfg"), kFileLine);
        EXPECT_EQ(box(dialog, 2)->text(), QStringLiteral("a much longer TeamFortress directory than before"));
        delete warning(dialog);
    }
}

// The styles Debian ships for Qt 6 differ in frame and padding; in each,
// "quake" covers as many pixel rows in a box as in one four times as high.
TEST_F(ConfigureDialog, BoxTextIsWholeInEveryInstalledStyle)
{
    const QString previous = QApplication::style()->name();
    for (const char *name : {"Fusion", "Windows", "Adwaita"}) {
        if (!QStyleFactory::keys().contains(QLatin1String(name), Qt::CaseInsensitive))
            continue;  // not installed
        SCOPED_TRACE(name);
        QApplication::setStyle(QLatin1String(name));
        QPointer<ui::SecondaryWindow> dialog = openConfigure();
        QLineEdit *text = box(dialog, 2);  // not focused: no cursor in the picture
        auto rowsOfQuake = [text](int boxHeight) {
            text->resize(text->width(), boxHeight);
            text->clear();
            const QImage empty = text->grab().toImage();
            text->setText(QStringLiteral("quake"));
            const QImage filled = text->grab().toImage();
            int rows = 0;
            for (int y = 0; y < empty.height(); ++y)
                rows += std::memcmp(empty.constScanLine(y), filled.constScanLine(y), filled.bytesPerLine()) != 0;
            return rows;
        };
        const int height = text->height();
        EXPECT_EQ(rowsOfQuake(height), rowsOfQuake(4 * height));
        dialog->close();
        ASSERT_EVENTUALLY(dialog.isNull());
    }
    QApplication::setStyle(previous);
}

}  // namespace
