#include "tessaro.h"

#include "controls.h"
#include "design_font.h"
#include "form1.h"
#include "frmhelp.h"
#include "messages.h"
#include "tab_control.h"
#include "twips.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <array>

using ui::LabelLayout;
using ui::Twips;

namespace {

constexpr Twips kClientArea{0, 0, 6495, 6930};
constexpr Twips kTabControl{120, 120, 6270, 6240};
constexpr int kTabRowHeight = 295;
// The title blocks on "Main" and "More Info" are centred on this line,
// measured from the tab control's left edge.
constexpr int kTitleCentreLine = 3135;

enum Tab { MainTab, DmTab, DuelTab, OtherModsTab, MoreInfoTab };
const std::array<const char *, 5> kTabCaptions{"Main", "&DM", "D&uel", "&Other Mods", "More &Info"};

// Labels standing directly on a tab, one line each, centred on the tab.
struct TitleLine {
    const char *name;
    Tab tab;
    const char *text;
    Twips geometry;  // the width is the drawn one; the text's own width counts
};

const QString kAuthorCredit = QStringLiteral("Written by the Tessaro author");

const std::array<TitleLine, 9> kTitleLines{{
    {"Label1", MainTab, "Tessaro", {2040, 615, 2130, 195}},
    {"Label2", MainTab, nullptr, {2355, 855, 1425, 195}},
    {"Label3", MainTab, "Version 1.2", {2700, 1095, 825, 195}},
    {"Label4", MainTab, "Copyright (C) 2026 the Tessaro author.  All rights reserved.", {375, 1335, 5505, 195}},
    {"Label5", MainTab, ui::kContactAddress, {2085, 1575, 1995, 195}},
    {"Label6", MainTab, ui::kHomePage, {1485, 1815, 3135, 195}},
    {"Label22", MoreInfoTab, "Tessaro", {2115, 480, 2145, 195}},
    {"Label21", MoreInfoTab, nullptr, {2475, 720, 1425, 195}},
    {"Label20", MoreInfoTab, "Copyright (C) 2026 the Tessaro author", {1080, 960, 4095, 195}},
}};

struct FrameLabel {
    const char *name;
    const char *text;
    Twips geometry;  // relative to the frame
    LabelLayout layout;
};

struct InfoFrame {
    const char *name;
    Tab tab;
    const char *caption;
    Twips geometry;  // relative to the tab control
    std::vector<FrameLabel> labels;
};

const std::vector<InfoFrame> kInfoFrames{
    {"Frame1", MainTab, "Updates from Version 1.1", {120, 2280, 6015, 1335},
     {{"Label8",
       "The bug that required Quake to be installed in c:\\quake has been fixed, you can now install quake anywhere "
       "and use the Configure button to take advantage of this.  You still must place this program file in the "
       "Quake directory.",
       {120, 300, 5775, 615}, LabelLayout::WrappedLeft},
      {"Label12", "Added support for Requiem.", {120, 960, 2655, 225}, LabelLayout::WrappedLeft}}},
    {"Frame13", MainTab, "Future Updates", {120, 3840, 6015, 975},
     {{"Label14",
       "I will be constantly playing with this program, so there will be a few updates.  I plan to add support for "
       "a lot more mods, like lithium, etc, and one day I will either make support in this one or make another "
       "launcher to support Quake 2 and Quake 3.",
       {120, 240, 5775, 615}, LabelLayout::WrappedLeft}}},
    {"Frame2", MainTab, "Known Bugs at Release Date", {120, 5040, 6015, 975},
     {{"Label9",
       "So far, I have not been able to find any bugs.  I'm sure there are a few here and there, so please do not "
       "hesitate to inform me if you find one.",
       {120, 360, 5775, 495}, LabelLayout::WrappedLeft}}},
    {"Frame6", MoreInfoTab, "Using the Program", {120, 1200, 6015, 1335},
     {{"Label15",
       "Damn, if you can't figure out how to use this you don't deserve to be running LAN Parties...but for those "
       "who need to know, all you have to do is select from the top tablist the type of server you wish to start, "
       "then you will be presented with a number of buttons.  These buttons are labelled with the port numbers, so "
       "all you need to do is click on the number of servers you need.",
       {120, 240, 5775, 975}, LabelLayout::WrappedCentred}}},
    {"Frame7", MoreInfoTab, "Legal Mumbo-Jumbo", {120, 2640, 6015, 1575},
     {{"Label16", "", {120, 240, 5775, 615}, LabelLayout::WrappedCentred},
      {"Label17", "", {120, 840, 5775, 615}, LabelLayout::WrappedCentred}}},
    {"Frame8", MoreInfoTab, "Contacting the Author", {120, 4320, 6015, 1695},
     {{"Label13",
       "I would like to know who has this program and who uses it, so if you are using this program successfully "
       "or if you find any bugs please drop me a line at any of these email addresses.",
       {120, 240, 5775, 615}, LabelLayout::WrappedCentred},
      {"Label10", ui::kSecondContactAddress, {2040, 960, 1980, 195}, LabelLayout::OneLine},
      {"Label11", ui::kContactAddress, {2040, 1200, 1965, 195}, LabelLayout::OneLine}}},
};

// Where each launch group's frame and buttons stand, in the catalogue's
// group order.  Buttons fill the columns top to bottom in rising port order.
struct LaunchFrame {
    const char *name;
    Tab tab;
    Twips geometry;  // relative to the tab control
    std::vector<int> columnLefts;
    std::vector<int> rowTops;
    int firstTabIndex;  // of the lowest port; each next port's is one more or one less
    int tabIndexStep;
};

constexpr int kLaunchButtonWidth = 1335;
constexpr int kLaunchButtonHeight = 375;

const std::vector<int> kTwoRows{480, 960};

const std::array<LaunchFrame, launch::kLaunchGroups.size()> kLaunchFrames{{
    {"Frame12", DmTab, {120, 1080, 6015, 1815}, {840, 3480}, {480, 1080}, 15, -1},   // Standard DeathMatch
    {"Frame15", DmTab, {120, 3360, 6015, 1695}, {840, 3480}, kTwoRows, 82, -1},      // Requiem
    {"Frame3", DuelTab, {240, 480, 3615, 5535}, {240, 2040},
     {480, 960, 1440, 1920, 2400, 2880, 3360, 3840, 4320, 4800}, 55, -1},            // One-on-One
    {"Frame4", DuelTab, {4200, 480, 1815, 1695}, {240}, kTwoRows, 34, -1},           // Two-on-Two
    {"Frame5", DuelTab, {4200, 2400, 1815, 1695}, {240}, kTwoRows, 31, -1},          // Three-on-Three
    {"Frame9", DuelTab, {4200, 4320, 1815, 1695}, {240}, kTwoRows, 28, -1},          // Four-on-Four
    {"Frame10", OtherModsTab, {120, 600, 6015, 1695}, {960, 3600}, kTwoRows, 25, -1},  // TeamFortress
    {"Frame11", OtherModsTab, {120, 2400, 6015, 1695}, {960, 3600}, kTwoRows, 20, -1}, // Capture the Flag
    {"Frame14", OtherModsTab, {120, 4200, 6015, 1695}, {960, 3600}, kTwoRows, 5, 1},   // Rocket Arena
}};

struct CommandButton {
    const char *name;
    const char *caption;
    Twips geometry;
};

constexpr CommandButton kConfigureButton{"cmdConfig", "&Configure", {360, 6480, 1455, 375}};
constexpr CommandButton kHelpButton{"cmdhelp", "&Help", {2520, 6480, 1455, 375}};
constexpr CommandButton kExitButton{"Command1", "E&xit", {4680, 6480, 1455, 375}};

// Controls on a tab are placed relative to the tab control's corner, its tab
// row included; their page starts below the row.
QRect onTab(const ui::TabControl *tabs, const Twips &geometry)
{
    return geometry.toPixels().translated(0, -tabs->rowHeight());
}

ui::Warning launchWarning(const launch::LaunchEntry &entry, const launch::LaunchOutcome &outcome)
{
    using settings::ReadFailure;
    if (outcome.status == launch::LaunchStatus::StartFailed) {
        const launch::StartMessage message = launch::startFailureMessage(outcome.start, entry.port);
        return {ui::fromSystem(message.text), ui::fromSystem(message.advice)};
    }
    const QString text = QStringLiteral("No server was started.  %1").arg(ui::fromSystem(outcome.settings.reason));
    switch (outcome.settings.failure) {
    case ReadFailure::Missing:
        return {text, QStringLiteral("Tessaro reads tessaro.cfg from the folder it was started in.  Click "
                                     "Configure, type your Quake directory and the mods' directories, then click "
                                     "Apply.")};
    case ReadFailure::TooFewFields:
        return {text, QStringLiteral("Click Configure, fill in the missing directories, then click Apply to write "
                                     "a complete settings file.")};
    case ReadFailure::NotAFile:
        return {text, QStringLiteral("Move it out of the way, then click Configure, type the directories and click "
                                     "Apply.")};
    case ReadFailure::Unreadable:
    case ReadFailure::FieldTooLong:
    case ReadFailure::None:
        break;
    }
    return {text, QStringLiteral("Check the file, or click Configure and Apply to write a new one.")};
}

}  // namespace

tessaro::tessaro(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("tessaro"));
    setWindowTitle(QStringLiteral("Tessaro - %1").arg(QLatin1String(ui::kHomePage)));
    setFont(ui::designFont());
    setFixedSize(kClientArea.toPixels().size());
    createControls();
    Form_Load();
}

tessaro::~tessaro()
{
    delete m_configure;
    delete m_help;
}

Form1 *tessaro::configureDialog() const { return m_configure; }

frmhelp *tessaro::helpWindow() const { return m_help; }

void tessaro::createControls()
{
    QStringList captions;
    for (const char *caption : kTabCaptions)
        captions << QString::fromUtf8(caption);
    m_tabs = new ui::TabControl(captions, ui::pixels(kTabRowHeight), kTabControl.toPixels(), this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));

    createTitleBlocks();
    createInfoFrames();
    createLaunchFrames();

    m_configureButton = ui::createButton(this, kConfigureButton.name, QString::fromUtf8(kConfigureButton.caption),
                                         kConfigureButton.geometry.toPixels());
    m_helpButton = ui::createButton(this, kHelpButton.name, QString::fromUtf8(kHelpButton.caption),
                                    kHelpButton.geometry.toPixels());
    m_exitButton = ui::createButton(this, kExitButton.name, QString::fromUtf8(kExitButton.caption),
                                    kExitButton.geometry.toPixels());
    connect(m_configureButton, &QPushButton::clicked, this, &tessaro::cmdConfig_Click);
    connect(m_helpButton, &QPushButton::clicked, this, &tessaro::cmdhelp_Click);
    connect(m_exitButton, &QPushButton::clicked, this, &tessaro::Command1_Click);

    setKeyboardOrder();
}

void tessaro::createTitleBlocks()
{
    for (const TitleLine &line : kTitleLines) {
        const QString text = line.text ? QString::fromUtf8(line.text) : kAuthorCredit;
        QLabel *label = ui::createLabel(m_tabs->page(line.tab), line.name, text, onTab(m_tabs, line.geometry),
                                        LabelLayout::OneLine);
        label->move(ui::pixels(kTitleCentreLine) - label->width() / 2, label->y());
    }
}

void tessaro::createInfoFrames()
{
    for (const InfoFrame &info : kInfoFrames) {
        QGroupBox *frame = ui::createFrame(m_tabs->page(info.tab), info.name, QString::fromUtf8(info.caption),
                                           onTab(m_tabs, info.geometry));
        for (const FrameLabel &label : info.labels)
            ui::createLabel(frame, label.name, QString::fromUtf8(label.text), label.geometry.toPixels(), label.layout);
    }
}

void tessaro::createLaunchFrames()
{
    for (std::size_t group = 0; group < kLaunchFrames.size(); ++group) {
        const LaunchFrame &design = kLaunchFrames[group];
        QGroupBox *frame = ui::createFrame(m_tabs->page(design.tab), design.name,
                                           QString::fromUtf8(launch::kLaunchGroups[group].caption.data(),
                                                             static_cast<qsizetype>(launch::kLaunchGroups[group].caption.size())),
                                           onTab(m_tabs, design.geometry));
        const auto entries = launch::entriesOfGroup(static_cast<int>(group));
        const std::size_t rows = design.rowTops.size();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const launch::LaunchEntry &entry = entries[i];
            const Twips geometry{design.columnLefts.at(i / rows), design.rowTops.at(i % rows), kLaunchButtonWidth,
                                 kLaunchButtonHeight};
            const std::string name(entry.buttonName());
            QPushButton *button = ui::createButton(frame, name.c_str(), QStringLiteral("Port %1").arg(entry.port),
                                                   geometry.toPixels());
            connect(button, &QPushButton::clicked, this, [this, &entry] { launchButton_Click(entry); });
            m_launchButtons.emplace_back(design.firstTabIndex + design.tabIndexStep * static_cast<int>(i), button);
        }
    }
}

// One focus chain over the whole window by each control's TabIndex: Exit,
// Configure, Help, the tab row, then the launch buttons.  Qt skips those on
// hidden tabs.
void tessaro::setKeyboardOrder()
{
    std::sort(m_launchButtons.begin(), m_launchButtons.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<QWidget *> chain{m_exitButton, m_configureButton, m_helpButton, m_tabs};
    for (const auto &[tabIndex, button] : m_launchButtons)
        chain.push_back(button);
    chain.push_back(m_exitButton);
    ui::setFocusChain(chain);
    m_exitButton->setFocus();
}

void tessaro::Form_Load() { m_tabs->setCurrentIndex(MainTab); }

void tessaro::cmdConfig_Click()
{
    if (!m_configure)
        m_configure = new Form1;
    m_configure->present();
}

void tessaro::cmdhelp_Click()
{
    if (!m_help)
        m_help = new frmhelp;
    m_help->present();
}

void tessaro::Command1_Click() { close(); }

void tessaro::launchButton_Click(const launch::LaunchEntry &entry)
{
    const launch::LaunchOutcome outcome = launch::launchServer(m_launchState, entry);
    if (outcome.status != launch::LaunchStatus::Started)
        ui::showWarning(this, launchWarning(entry, outcome));
}

void tessaro::closeEvent(QCloseEvent *event)
{
    // The program ends with its main window: the other two go without a
    // word, whatever their state, and nothing is written.
    delete m_configure;
    delete m_help;
    event->accept();
}
