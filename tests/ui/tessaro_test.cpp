#include "form1.h"
#include "frmhelp.h"
#include "settings/settings_file.h"
#include "tab_control.h"
#include "tessaro.h"
#include "test_support.h"
#include "twips.h"
#include "ui_test_support.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabBar>

#include <map>
#include <memory>

using namespace testing_support;
using namespace ui_testing;

namespace {

// The launch buttons as the layout gives them: frame, tab, and the button's
// place within its frame, in twips.
struct ButtonDesign {
    std::string button;
    std::string frame;
    int tab;
    int left;
    int top;
};

std::vector<ButtonDesign> launchButtonDesign()
{
    std::vector<ButtonDesign> all = {
        {"cmd27500", "Frame12", 1, 840, 480},  {"cmd27501", "Frame12", 1, 840, 1080},
        {"cmd27502", "Frame12", 1, 3480, 480}, {"cmd27503", "Frame12", 1, 3480, 1080},
        {"cmd27900", "Frame15", 1, 840, 480},  {"cmd27901", "Frame15", 1, 840, 960},
        {"cmd27902", "Frame15", 1, 3480, 480}, {"cmd27903", "Frame15", 1, 3480, 960},
        {"cmd27420", "Frame4", 2, 240, 480},   {"cmd27421", "Frame4", 2, 240, 960},
        {"cmd27422", "Frame5", 2, 240, 480},   {"cmd27423", "Frame5", 2, 240, 960},
        {"cmd27424", "Frame9", 2, 240, 480},   {"cmd27425", "Frame9", 2, 240, 960},
    };
    for (int i = 0; i < 20; ++i)
        all.push_back({"cmd" + std::to_string(27400 + i), "Frame3", 2, i < 10 ? 240 : 2040, 480 + 480 * (i % 10)});
    // The three mod grids on "Other Mods" share one shape.
    const std::pair<const char *, int> grids[] = {{"Frame10", 27600}, {"Frame11", 27700}, {"Frame14", 27800}};
    const int lefts[] = {960, 960, 3600, 3600};
    const int tops[] = {480, 960, 480, 960};
    for (const auto &[frame, firstPort] : grids) {
        for (int i = 0; i < 4; ++i)
            all.push_back({"cmd" + std::to_string(firstPort + i), frame, 3, lefts[i], tops[i]});
    }
    return all;
}

const std::map<std::string, design::Twips> kFrameDesign = {
    {"Frame12", {120, 1080, 6015, 1815}}, {"Frame15", {120, 3360, 6015, 1695}}, {"Frame3", {240, 480, 3615, 5535}},
    {"Frame4", {4200, 480, 1815, 1695}},  {"Frame5", {4200, 2400, 1815, 1695}}, {"Frame9", {4200, 4320, 1815, 1695}},
    {"Frame10", {120, 600, 6015, 1695}},  {"Frame11", {120, 2400, 6015, 1695}}, {"Frame14", {120, 4200, 6015, 1695}},
};

class MainWindow : public ::testing::Test {
protected:
    FakeQuake quake;
    ScopedCurrentDirectory cd{quake.root()};
    std::unique_ptr<tessaro> window = std::make_unique<tessaro>();
    ui::TabControl *tabs = window->findChild<ui::TabControl *>(QStringLiteral("SSTab1"));

    void TearDown() override
    {
        for (auto *box : window->findChildren<QMessageBox *>())
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
    const auto design = launchButtonDesign();
    ASSERT_EQ(design.size(), 46u);
    for (const ButtonDesign &b : design) {
        SCOPED_TRACE(b.button);
        QPushButton *button = child<QPushButton>(*window, b.button.c_str());
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text().toStdString(), "Port " + b.button.substr(3));
        auto *frame = qobject_cast<QGroupBox *>(button->parentWidget());
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->objectName().toStdString(), b.frame);
        EXPECT_EQ(frame->parentWidget(), tabs->page(b.tab));

        const design::Twips frameDesign = kFrameDesign.at(b.frame);
        // Positions on a tab count from the tab control's corner, tab row included.
        EXPECT_EQ(frame->mapTo(tabs, QPoint(0, 0)),
                  QPoint(design::pixels(frameDesign.left), design::pixels(frameDesign.top)));
        EXPECT_EQ(frame->size(), QSize(design::pixels(frameDesign.width), design::pixels(frameDesign.height)));
        EXPECT_EQ(button->geometry(), ui::toPixels(design::Twips{b.left, b.top, 1335, 375}));
    }
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
    };
    const QString cfg = QString::fromStdString(quake.root() + "/tessaro.cfg");
    const QString missingQuake = QString::fromStdString(quake.root() + "/empty");
    const std::vector<Case> cases = {
        {"no settings file", [] {}, {cfg, QStringLiteral("No server was started"), QStringLiteral("Configure")}},
        {"short settings file", [&] { writeFile("tessaro.cfg", quake.quakeDirectory() + ",fortress\r\n"); },
         {cfg, QStringLiteral("holds 2 of the nine"), QStringLiteral("missing directories")}},
        {"no qwsv", [&] {
             std::filesystem::create_directory(missingQuake.toStdString());
             writeSettings(missingQuake.toStdString());
         },
         {missingQuake + "/qwsv does not exist", QStringLiteral("port 27601")}},
    };
    showActive(*window);
    tabs->setCurrentIndex(3);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove("tessaro.cfg");
        c.prepare();
        QTest::mouseClick(button("cmd27601"), Qt::LeftButton);
        ASSERT_EVENTUALLY(warning() && warning()->isVisible());
        const QString all = warning()->text() + " " + warning()->informativeText();
        for (const QString &part : c.textParts)
            EXPECT_TRUE(all.contains(part)) << all.toStdString();
        EXPECT_EQ(warning()->icon(), QMessageBox::Warning);
        delete warning();
    }
    EXPECT_TRUE(quake.records().empty());
}

TEST_F(MainWindow, ExitClosesEverythingAndWritesNothing)
{
    writeSettings("/srv/quake");
    const std::string before = readFile("tessaro.cfg");
    showActive(*window);
    QTest::mouseClick(button("cmdConfig"), Qt::LeftButton);
    QTest::mouseClick(button("cmdhelp"), Qt::LeftButton);
    ASSERT_EVENTUALLY(window->configureDialog() && window->helpWindow());
    window->configureDialog()->boxForSlot(1)->setText(QStringLiteral("/unapplied"));
    window->helpWindow()->hide();

    QPointer<Form1> configure = window->configureDialog();
    QPointer<frmhelp> help = window->helpWindow();
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
    tessaro usual;
    usual.show();
    tessaro shownFirst(nullptr, ui::Showing::BeforeControls);
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
