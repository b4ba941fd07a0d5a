#include "settings/settings_file.h"
#include "support/test_support.h"
#include "ui/controls.h"
#include "ui/main_window.h"
#include "ui/tab_control.h"
#include "ui/widget_testing.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabBar>

#include <memory>

#include <sys/resource.h>
#include <unistd.h>

using namespace testing_support;
using namespace ui_testing;

namespace {

class MainWindow : public ::testing::Test {
protected:
    FakeQuake quake;
    ScopedCurrentDirectory cd{quake.root()};
    std::unique_ptr<ui::MainWindow> window = std::make_unique<ui::MainWindow>();
    ui::TabControl *tabs = window->findChild<ui::TabControl *>(QStringLiteral("SSTab1"));

    void TearDown() override
    {
        for (auto *box : window ? window->findChildren<QMessageBox *>() : QList<QMessageBox *>())
            delete box;
    }

    void writeSettings(const std::string &quakeDirectory)
    {
        settings::Directories dirs(std::array<std::string, 9>{quakeDirectory, "fortress", "ctf", "duel1", "duel2",
                                                              "duel3", "duel4", "arena", "requiem"});
        ASSERT_TRUE(settings::writeDirectories(dirs).ok());
    }

    QPushButton *button(const char *name) { return child<QPushButton>(*window, name); }

    QMessageBox *warning() { return window->findChild<QMessageBox *>(); }
};

TEST_F(MainWindow, LaunchButtonsStandWhereTheLayoutPutsThem)
{
    ASSERT_NE(tabs, nullptr);
    showEveryTab(*window);
    const design::WindowDesign &layout = design::mainWindowDesign();
    int launchButtons = 0;
    for (const design::Control &control : layout.controls) {
        if (!control.launchEntry)
            continue;
        ++launchButtons;
        SCOPED_TRACE(control.name);
        QPushButton *button = child<QPushButton>(*window, control.name.c_str());
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text().toStdString(), control.text);
        auto *frame = qobject_cast<QGroupBox *>(button->parentWidget());
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->objectName().toStdString(), control.parent);
        EXPECT_EQ(frame->parentWidget(), tabs->page(control.tab));

        const design::Twips frameDesign = layout.find(control.parent)->rect;
        // Positions on a tab count from the tab control's corner, tab row included.
        EXPECT_EQ(frame->mapTo(tabs, QPoint(0, 0)),
                  QPoint(design::pixels(frameDesign.left), design::pixels(frameDesign.top)));
        EXPECT_EQ(frame->size(), QSize(design::pixels(frameDesign.width), design::pixels(frameDesign.height)));
        EXPECT_EQ(button->geometry(), ui::toPixels(control.rect));
    }
    EXPECT_EQ(launchButtons, 46);
}

TEST_F(MainWindow, WindowAndItsFixedControlsMatchTheLayout)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tessaro - http://tessaro.example.org/"));
    EXPECT_EQ(window->minimumSize(), QSize(433, 462));
    EXPECT_EQ(window->maximumSize(), QSize(433, 462));
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(tabs->geometry(), QRect(8, 8, 418, 416));
    EXPECT_EQ(tabs->tabBar()->height(), 20);
    EXPECT_EQ(button("cmdConfig")->geometry(), QRect(24, 432, 97, 25));
    EXPECT_EQ(button("cmdhelp")->geometry(), QRect(168, 432, 97, 25));
    EXPECT_EQ(button("Command1")->geometry(), QRect(312, 432, 97, 25));

    QStringList captions;
    for (int i = 0; i < tabs->tabBar()->count(); ++i)
        captions << tabs->tabBar()->tabText(i);
    EXPECT_EQ(captions, (QStringList{"Main", "&DM", "D&uel", "&Other Mods", "More &Info"}));
}

TEST_F(MainWindow, EveryLabelShowsAllOfItsText)
{
    showEveryTab(*window);
    const auto labels = window->findChildren<QLabel *>();
    EXPECT_EQ(labels.size(), 19);
    for (QLabel *label : labels)
        EXPECT_TRUE(textFits(*label)) << label->objectName().toStdString();

    // The title blocks stay centred on the tab's centre line, whatever their text.
    for (const char *name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label20", "Label21", "Label22"}) {
        QLabel *label = child<QLabel>(*window, name);
        const int centre = label->mapTo(tabs, QPoint(0, 0)).x() * 2 + label->width();
        EXPECT_NEAR(centre, 2 * 209, 1) << name;
    }
    EXPECT_EQ(child<QLabel>(*window, "Label10")->x(), 136);
    EXPECT_EQ(child<QLabel>(*window, "Label11")->x(), 136);
}

TEST_F(MainWindow, FrameCaptionsAreBoldAndWhatIsInsideIsNot)
{
    showEveryTab(*window);
    for (QGroupBox *frame : window->findChildren<QGroupBox *>()) {
        EXPECT_TRUE(frame->font().bold()) << frame->objectName().toStdString();
        for (QWidget *inside : frame->findChildren<QWidget *>())
            EXPECT_FALSE(inside->font().bold()) << inside->objectName().toStdString();
    }
    EXPECT_EQ(window->findChildren<QGroupBox *>().size(), 15);
}

TEST_F(MainWindow, StartsOnMainWithExitFocused)
{
    showActive(*window);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(focusName(), "Command1");
    for (int tab = 0; tab < 5; ++tab)
        EXPECT_EQ(tabs->page(tab)->isVisible(), tab == 0);
}

TEST_F(MainWindow, TabVisitsTheShownTabsButtonsInTheirOrder)
{
    struct Case {
        int tab;
        std::vector<std::string> launchButtons;
    };
    const std::vector<Case> cases = {
        {0, {}},
        {1, {"cmd27503", "cmd27502", "cmd27501", "cmd27500", "cmd27903", "cmd27902", "cmd27901", "cmd27900"}},
        {2, {"cmd27425", "cmd27424", "cmd27423", "cmd27422", "cmd27421", "cmd27420", "cmd27419", "cmd27418",
             "cmd27417", "cmd27416", "cmd27415", "cmd27414", "cmd27413", "cmd27412", "cmd27411", "cmd27410",
             "cmd27409", "cmd27408", "cmd27407", "cmd27406", "cmd27405", "cmd27404", "cmd27403", "cmd27402",
             "cmd27401", "cmd27400"}},
        {3, {"cmd27800", "cmd27801", "cmd27802", "cmd27803", "cmd27703", "cmd27702", "cmd27701", "cmd27700",
             "cmd27603", "cmd27602", "cmd27601", "cmd27600"}},
        {4, {}},
    };
    showActive(*window);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tab);
        tabs->setCurrentIndex(c.tab);
        std::vector<std::string> forwards{"cmdConfig", "cmdhelp", "SSTab1"};
        forwards.insert(forwards.end(), c.launchButtons.begin(), c.launchButtons.end());
        forwards.push_back("Command1");

        button("Command1")->setFocus();
        EXPECT_EQ(tabThrough(static_cast<int>(forwards.size())), forwards);

        std::vector<std::string> backwards(forwards.rbegin() + 1, forwards.rend());
        backwards.push_back("Command1");
        EXPECT_EQ(tabThrough(static_cast<int>(backwards.size()), true), backwards);
    }
}

TEST_F(MainWindow, AccessKeysWorkFromEveryTab)
{
    struct Case {
        Qt::Key key;
        int tab;  // the tab it selects, or -1
    };
    const std::vector<Case> tabKeys = {{Qt::Key_D, 1}, {Qt::Key_U, 2}, {Qt::Key_O, 3}, {Qt::Key_I, 4}};
    showActive(*window);
    for (int from = 0; from < 5; ++from) {
        for (const Case &c : tabKeys) {
            tabs->setCurrentIndex(from);
            QTest::keyClick(window.get(), c.key, Qt::AltModifier);
            EXPECT_EQ(tabs->currentIndex(), c.tab) << "from tab " << from;
        }
        tabs->setCurrentIndex(from);
        QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
        ASSERT_EVENTUALLY(window->configureDialog() && window->configureDialog()->isVisible());
        window->configureDialog()->hide();
        showActive(*window);
        QTest::keyClick(window.get(), Qt::Key_H, Qt::AltModifier);
        ASSERT_EVENTUALLY(window->helpWindow() && window->helpWindow()->isVisible());
        window->helpWindow()->hide();
        showActive(*window);
        EXPECT_EQ(tabs->currentIndex(), from);
    }
    QTest::keyClick(window.get(), Qt::Key_X, Qt::AltModifier);
    ASSERT_EVENTUALLY(!window->isVisible());
}

TEST_F(MainWindow, EnterRightAfterStartEndsTheProgramAndEscapeDoesNothing)
{
    showActive(*window);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindow, OnePressStartsOneServerAndLeavesFocusAndTabAlone)
{
    writeSettings(quake.quakeDirectory());
    quake.setMode("exit");
    showActive(*window);
    tabs->setCurrentIndex(3);
    QPushButton *port = button("cmd27601");

    QTest::mouseClick(port, Qt::LeftButton);
    ASSERT_EVENTUALLY(quake.records().size() == 1u);
    EXPECT_EQ(QApplication::focusWidget(), port);
    EXPECT_EQ(tabs->currentIndex(), 3);
    EXPECT_EQ(QApplication::activeWindow(), window.get());

    holdKey(port, Qt::Key_Return, 5);  // one press and five auto-repeats
    holdKey(port, Qt::Key_Space, 5);
    QTest::keyClick(port, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EVENTUALLY(quake.records().size() == 4u);
    QTest::qWait(200);
    EXPECT_EQ(quake.records().size(), 4u);
    for (const auto &[pid, record] : quake.records())
        EXPECT_EQ(record.argv, (std::vector<std::string>{quake.quakeDirectory() + "/qwsv", "+gamedir", "fortress",
                                                         "-port", "27601"}));
    EXPECT_EQ(warning(), nullptr);
}

TEST_F(MainWindow, FailedLaunchesSayWhatIsWrongAndWhatToDo)
{
    struct Case {
        const char *name;
        std::function<void()> prepare;
        std::vector<QString> textParts;
        bool console = false;  // on a desktop, where the start waits for its console
        bool noSpareDescriptor = false;  // the click comes when Tessaro may open no more files
    };
    const QString cfg = QString::fromStdString(quake.root() + "/tessaro.cfg");
    const QString missingQuake = QString::fromStdString(quake.root() + "/empty");
    const QString longNames = QString::fromStdString(quake.root()) + "/" + QString(200, u'a') + "/" + QString(200, u'b');
    const auto noQwsv = [&] {
        std::filesystem::create_directories(missingQuake.toStdString());
        writeSettings(missingQuake.toStdString());
    };
    std::vector<Case> cases = {
        {"no settings file", [] {}, {cfg, QStringLiteral("No server was started"), QStringLiteral("Configure")}},
        {"no descriptor to spare", [&] { writeSettings(quake.quakeDirectory()); },
         {QStringLiteral("Tessaro has as many files open as it may"), QStringLiteral("ulimit -n 1024")}, false, true},
        {"short settings file", [&] { writeFile("tessaro.cfg", quake.quakeDirectory() + ",fortress\r\n"); },
         {cfg, QStringLiteral("holds 2 of the nine"), QStringLiteral("missing directories")}},
        {"no qwsv", noQwsv, {missingQuake + "/qwsv does not exist", QStringLiteral("port 27601")}},
        {"no qwsv in a directory of long names", [&] {
             std::filesystem::create_directories(longNames.toStdString());
             writeSettings(longNames.toStdString());
         }, {longNames + "/qwsv does not exist"}},
        {"no qwsv, told by its console", noQwsv, {missingQuake + "/qwsv does not exist"}, true},
    };
    if (runningAsRoot()) {
        cases.push_back({"another user's settings file",
                         [&] {
                             writeSettings(quake.quakeDirectory());
                             ASSERT_EQ(::chown("tessaro.cfg", 65534, 65534), 0);
                         },
                         {QStringLiteral("is not read: it belongs to nobody"),
                          QStringLiteral("If you trust this one, make a copy of your own in its place: cp ")}});
    }
    FakeXterm xterm(quake.recordDirectory());
    showActive(*window);
    tabs->setCurrentIndex(3);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove("tessaro.cfg");
        c.prepare();
        std::optional<ScopedEnvironment> display, path;
        if (c.console) {
            display.emplace("DISPLAY", kNobodysDisplay);
            path.emplace("PATH", xterm.directory() + ":/usr/bin:/bin");
        }
        rlimit files{};
        ::getrlimit(RLIMIT_NOFILE, &files);
        if (c.noSpareDescriptor) {
            const int lowestFree = ::dup(STDIN_FILENO);
            ::close(lowestFree);
            const rlimit none{static_cast<rlim_t>(lowestFree), files.rlim_max};
            ::setrlimit(RLIMIT_NOFILE, &none);
        }
        QTest::mouseClick(button("cmd27601"), Qt::LeftButton);
        ::setrlimit(RLIMIT_NOFILE, &files);
        // The click returns before the console has answered; the message follows.
        EXPECT_EQ(warning() != nullptr, !c.console);
        ASSERT_EVENTUALLY(warning() && warning()->isVisible());
        // Whole, and wrapped where it is long: no line wider than the screen.
        QString all = warning()->text() + " " + warning()->informativeText();
        all.remove(QChar(0x200B));
        for (const QString &part : c.textParts)
            EXPECT_TRUE(all.contains(part)) << all.toStdString();
        EXPECT_LT(warning()->width(), warning()->screen()->availableGeometry().width());
        EXPECT_EQ(warning()->icon(), QMessageBox::Warning);
        delete warning();
    }
    EXPECT_TRUE(quake.records().empty());
}

// The console of a click made just before Exit is still opening when the
// program ends: its server starts all the same.
TEST_F(MainWindow, AClickJustBeforeExitStillStartsItsServer)
{
    writeSettings(quake.quakeDirectory());
    quake.setMode("exit");
    FakeXterm xterm(quake.recordDirectory());
    ScopedEnvironment display("DISPLAY", kNobodysDisplay);
    ScopedEnvironment path("PATH", xterm.directory() + ":/usr/bin:/bin");
    tabs->setCurrentIndex(3);
    QTest::mouseClick(button("cmd27601"), Qt::LeftButton);
    window.reset();
    ASSERT_EVENTUALLY(quake.records().size() == 1u);
}

TEST_F(MainWindow, ExitClosesEverythingAndWritesNothing)
{
    writeSettings("/srv/quake");
    const std::string before = readFile("tessaro.cfg");
    showActive(*window);
    QTest::mouseClick(button("cmdConfig"), Qt::LeftButton);
    QTest::mouseClick(button("cmdhelp"), Qt::LeftButton);
    ASSERT_EVENTUALLY(window->configureDialog() && window->helpWindow());
    child<QLineEdit>(*window->configureDialog(), "txtDir")->setText(QStringLiteral("/unapplied"));
    window->helpWindow()->hide();

    QPointer<ui::SecondaryWindow> configure = window->configureDialog();
    QPointer<ui::SecondaryWindow> help = window->helpWindow();
    showActive(*window);
    QTest::mouseClick(button("Command1"), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(configure.isNull());
    EXPECT_TRUE(help.isNull());
    EXPECT_EQ(readFile("tessaro.cfg"), before);
}

// The program shows its main window before making the controls: it must come
// out as the window shown after them, every control where it was, shown or
// hidden alike, the same picture and Exit focused.
TEST(MainWindowShownFirst, MatchesTheWindowShownAfterItsControls)
{
    ui::MainWindow usual;
    usual.show();
    showEveryTab(usual);
    ui::MainWindow shownFirst(ui::Showing::BeforeControls);
    showEveryTab(shownFirst);
    const QList<QWidget *> expected = usual.findChildren<QWidget *>(), actual = shownFirst.findChildren<QWidget *>();
    ASSERT_EQ(actual.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i]->objectName().toStdString());
        EXPECT_EQ(actual[i]->objectName(), expected[i]->objectName());
        EXPECT_EQ(actual[i]->isVisible(), expected[i]->isVisible());
        EXPECT_EQ(actual[i]->geometry(), expected[i]->geometry());
    }
    EXPECT_EQ(shownFirst.grab().toImage(), usual.grab().toImage());
    showActive(shownFirst);
    EXPECT_EQ(focusName(), "Command1");
}

}  // namespace
