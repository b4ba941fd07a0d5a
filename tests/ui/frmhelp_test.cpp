#include "support/test_support.h"
#include "ui/main_window.h"
#include "ui/widget_testing.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <memory>

using namespace testing_support;
using namespace ui_testing;

namespace {

class HelpWindow : public ::testing::Test {
protected:
    TempDir dir;
    ScopedCurrentDirectory cd{dir.path()};
    std::unique_ptr<ui::MainWindow> window = std::make_unique<ui::MainWindow>();

    ui::SecondaryWindow *openHelp()
    {
        showActive(*window);
        QTest::mouseClick(child<QPushButton>(*window, "cmdhelp"), Qt::LeftButton);
        ui::SecondaryWindow *help = window->helpWindow();
        EXPECT_NE(help, nullptr);
        if (help) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(help));
        }
        return help;
    }
};

TEST_F(HelpWindow, ShowsFourFramedTextsAndHoldsTheFocusOnClose)
{
    ui::SecondaryWindow *help = openHelp();
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Tessaro Help"));
    EXPECT_EQ(help->size(), QSize(431, 454));

    std::vector<QGroupBox *> frames;
    for (const char *name : {"Frame1", "Frame2", "Frame3", "Frame4"})
        frames.push_back(child<QGroupBox>(*help, name));
    QStringList captions;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        captions << frames[i]->title();
        EXPECT_TRUE(frames[i]->font().bold());
        if (i > 0) {
            EXPECT_EQ(frames[i]->y() - (frames[i - 1]->y() + frames[i - 1]->height()), 7);  // 105 twips apart
        }
    }
    EXPECT_EQ(captions, (QStringList{"Configuration", "General Use", "Getting Further Help", "Thanks and Plugs"}));

    EXPECT_EQ(child<QLabel>(*help, "Label1")->text(),
              QStringLiteral("To configure the program simply click the Configure button then type the directories of "
                             "the supported mods in the appropriate fields.  Click Apply then Close."));
    EXPECT_TRUE(child<QLabel>(*help, "Label2")->text().startsWith(
        QStringLiteral("Pretty much all that is involved with using this program is pointing and clicking.  Simply")));
    EXPECT_TRUE(child<QLabel>(*help, "Label3")->text().contains(QStringLiteral("author@tessaro.example.org")));
    for (QLabel *label : help->findChildren<QLabel *>()) {
        EXPECT_TRUE(textFits(*label)) << label->objectName().toStdString();
        EXPECT_FALSE(label->font().bold());
    }

    QPushButton *close = child<QPushButton>(*help, "Command1");
    EXPECT_TRUE(close->y() > frames.back()->y() + frames.back()->height());
    QApplication::setActiveWindow(help);
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    EXPECT_EQ(QApplication::focusWidget(), close);
    EXPECT_EQ(tabThrough(1), std::vector<std::string>{"Command1"});
    QTest::keyClick(close, Qt::Key_Escape);
    EXPECT_TRUE(help->isVisible());
    QTest::keyClick(help, Qt::Key_C, Qt::AltModifier);
    ASSERT_EVENTUALLY(!help->isVisible());
}

TEST_F(HelpWindow, CloseKeepsPlaceAndSizeAndTheTitleBarCloseForgetsThem)
{
    ui::SecondaryWindow *help = openHelp();
    help->move(help->pos() + QPoint(37, 23));
    help->resize(500, 300);
    const QRect left = help->geometry();
    const QRect buttonBefore = child<QPushButton>(*help, "Command1")->geometry();
    EXPECT_EQ(buttonBefore, QRect(168, 424, 97, 25));  // resizing moves nothing

    QTest::mouseClick(child<QPushButton>(*help, "Command1"), Qt::LeftButton);
    EXPECT_FALSE(help->isVisible());
    EXPECT_EQ(openHelp(), help);
    EXPECT_EQ(help->geometry(), left);

    help->showMinimized();
    QTest::mouseClick(child<QPushButton>(*window, "cmdhelp"), Qt::LeftButton);
    EXPECT_EQ(window->helpWindow(), help);
    EXPECT_FALSE(help->isMinimized());
    EXPECT_TRUE(help->isVisible());

    QPointer<ui::SecondaryWindow> unloaded = help;
    help->close();
    ASSERT_EVENTUALLY(unloaded.isNull());
    ui::SecondaryWindow *fresh = openHelp();
    EXPECT_EQ(fresh->size(), QSize(431, 454));
    EXPECT_EQ(windowsNamed("frmhelp"), 1);
}

TEST_F(HelpWindow, AllThreeWindowsWorkSideBySide)
{
    FakeQuake quake;
    ScopedCurrentDirectory inQuake(quake.root());
    quake.setMode("exit");
    writeFile("tessaro.cfg", quake.quakeDirectory() + ",tf,ctf,d1,d2,d3,d4,ra,rq\r\n");

    ui::SecondaryWindow *help = openHelp();
    QTest::mouseClick(child<QPushButton>(*window, "cmdConfig"), Qt::LeftButton);
    ui::SecondaryWindow *configure = window->configureDialog();
    ASSERT_NE(configure, nullptr);
    EXPECT_TRUE(help->isVisible() && configure->isVisible() && window->isVisible());

    // Apply in the dialog, launch from the main window, close the help: each while the others are open.
    child<QLineEdit>(*configure, "Text1")->setText(QStringLiteral("fortress"));
    QTest::mouseClick(child<QPushButton>(*configure, "Command2"), Qt::LeftButton);
    showActive(*window);
    QTest::keyClick(window.get(), Qt::Key_O, Qt::AltModifier);
    QTest::mouseClick(child<QPushButton>(*window, "cmd27602"), Qt::LeftButton);
    ASSERT_EVENTUALLY(quake.records().size() == 1u);
    EXPECT_EQ(quake.records().begin()->second.argv.at(2), "fortress");
    QTest::mouseClick(child<QPushButton>(*help, "Command1"), Qt::LeftButton);
    EXPECT_FALSE(help->isVisible());
    EXPECT_TRUE(configure->isVisible());
}

}  // namespace
