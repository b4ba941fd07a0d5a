#include "design/product.h"
#include "design/version.h"
#include "design/window_design.h"

#include <array>
#include <string>

namespace design {

namespace {

constexpr const char *kTabControlName = "SSTab1";

// Labels standing directly on a tab, one line each, centred on the title line.
struct TitleLine {
    const char *name;
    MainWindowTab tab;
    const char *text;
    Twips rect;  // the width is the drawn one; the text's own width counts
};

const std::array<TitleLine, 9> kTitleLines{{
    {"Label1", MainTab, "Tessaro", {2040, 615, 2130, 195}},
    {"Label2", MainTab, kAuthorCredit, {2355, 855, 1425, 195}},
    {"Label3", MainTab, "Version " TESSARO_RELEASE, {2700, 1095, 825, 195}},
    {"Label4", MainTab, "Copyright (C) 2026 the Tessaro author.  All rights reserved.", {375, 1335, 5505, 195}},
    {"Label5", MainTab, kContactAddress, {2085, 1575, 1995, 195}},
    {"Label6", MainTab, kHomePage, {1485, 1815, 3135, 195}},
    {"Label22", MoreInfoTab, "Tessaro", {2115, 480, 2145, 195}},
    {"Label21", MoreInfoTab, kAuthorCredit, {2475, 720, 1425, 195}},
    {"Label20", MoreInfoTab, "Copyright (C) 2026 the Tessaro author", {1080, 960, 4095, 195}},
}};

struct FrameLabel {
    const char *name;
    const char *text;
    Twips rect;  // relative to the frame
    LabelLayout layout;
};

struct InfoFrame {
    const char *name;
    MainWindowTab tab;
    const char *caption;
    Twips rect;
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
      {"Label10", kSecondContactAddress, {2040, 960, 1980, 195}, LabelLayout::OneLine},
      {"Label11", kContactAddress, {2040, 1200, 1965, 195}, LabelLayout::OneLine}}},
};

// The frame of each launch group, named by the game type whose servers its
// buttons start.  Buttons fill the columns top to bottom in rising port order.
struct LaunchFrame {
    const char *name;
    launch::GameType gameType;
    const char *caption;
    MainWindowTab tab;
    Twips rect;
    std::vector<int> columnLefts;
    std::vector<int> rowTops;
    int firstTabIndex;  // of the lowest port; each next port's is one more or one less
    int tabIndexStep;
};

constexpr int kLaunchButtonWidth = 1335;
constexpr int kLaunchButtonHeight = 375;

const std::vector<int> kTwoRows{480, 960};

const std::array<LaunchFrame, launch::kLaunchGroups.size()> kLaunchFrames{{
    {"Frame12", 1, "Standard DeathMatch", DmTab, {120, 1080, 6015, 1815}, {840, 3480}, {480, 1080}, 15, -1},
    {"Frame15", 9, "Requiem", DmTab, {120, 3360, 6015, 1695}, {840, 3480}, kTwoRows, 82, -1},
    {"Frame3", 4, "One-on-One", DuelTab, {240, 480, 3615, 5535}, {240, 2040},
     {480, 960, 1440, 1920, 2400, 2880, 3360, 3840, 4320, 4800}, 55, -1},
    {"Frame4", 5, "Two-on-Two", DuelTab, {4200, 480, 1815, 1695}, {240}, kTwoRows, 34, -1},
    {"Frame5", 6, "Three-on-Three", DuelTab, {4200, 2400, 1815, 1695}, {240}, kTwoRows, 31, -1},
    {"Frame9", 7, "Four-on-Four", DuelTab, {4200, 4320, 1815, 1695}, {240}, kTwoRows, 28, -1},
    {"Frame10", 2, "TeamFortress", OtherModsTab, {120, 600, 6015, 1695}, {960, 3600}, kTwoRows, 25, -1},
    {"Frame11", 3, "Capture the Flag", OtherModsTab, {120, 2400, 6015, 1695}, {960, 3600}, kTwoRows, 20, -1},
    {"Frame14", 8, "Rocket Arena", OtherModsTab, {120, 4200, 6015, 1695}, {960, 3600}, kTwoRows, 5, 1},
}};

void addTitleLines(std::vector<Control> &controls)
{
    for (const TitleLine &line : kTitleLines) {
        controls.push_back({.name = line.name, .kind = ControlKind::Label, .text = line.text, .rect = line.rect,
                            .parent = kTabControlName, .tab = line.tab, .layout = LabelLayout::OneLineCentred});
    }
}

void addInfoFrames(std::vector<Control> &controls)
{
    for (const InfoFrame &info : kInfoFrames) {
        controls.push_back({.name = info.name, .kind = ControlKind::Frame, .text = info.caption, .rect = info.rect,
                            .parent = kTabControlName, .tab = info.tab});
        for (const FrameLabel &label : info.labels) {
            controls.push_back({.name = label.name, .kind = ControlKind::Label, .text = label.text,
                                .rect = label.rect, .parent = info.name, .tab = info.tab, .layout = label.layout});
        }
    }
}

void addLaunchFrames(std::vector<Control> &controls)
{
    for (const LaunchFrame &frame : kLaunchFrames) {
        controls.push_back({.name = frame.name, .kind = ControlKind::Frame, .text = frame.caption, .rect = frame.rect,
                            .parent = kTabControlName, .tab = frame.tab});
        const auto entries = launch::entriesOfGameType(frame.gameType);
        const std::size_t rows = frame.rowTops.size();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const launch::LaunchEntry &entry = entries[i];
            controls.push_back({.name = std::string(entry.buttonName()), .kind = ControlKind::PushButton,
                                .text = "Port " + std::to_string(entry.port),
                                .rect = {frame.columnLefts.at(i / rows), frame.rowTops.at(i % rows),
                                         kLaunchButtonWidth, kLaunchButtonHeight},
                                .parent = frame.name, .tab = frame.tab,
                                .tabIndex = frame.firstTabIndex + frame.tabIndexStep * static_cast<int>(i),
                                .onClick = Handler::LaunchServer, .launchEntry = &entry});
        }
    }
}

WindowDesign makeMainWindow()
{
    WindowDesign window{.className = "tessaro",
                        .caption = std::string("Tessaro - ") + kHomePage,
                        .clientArea = {0, 0, 6495, 6930},
                        .border = Border::Fixed,
                        .minimiseButton = true,
                        .maximiseButton = false,
                        .inTaskbar = true,
                        .tabCaptions = {"Main", "&DM", "D&uel", "&Other Mods", "More &Info"},
                        .tabRowHeight = 295,
                        // The title blocks on "Main" and "More Info" are centred
                        // on the tab control's middle.
                        .titleCentreLine = 3135};
    auto &controls = window.controls;
    controls.push_back({.name = kTabControlName, .kind = ControlKind::TabControl, .text = {},
                        .rect = {120, 120, 6270, 6240}, .parent = {}, .tab = kNoTab, .tabIndex = 3});
    addTitleLines(controls);
    addInfoFrames(controls);
    addLaunchFrames(controls);
    controls.push_back({.name = "cmdConfig", .kind = ControlKind::PushButton, .text = "&Configure",
                        .rect = {360, 6480, 1455, 375}, .parent = {}, .tab = kNoTab, .tabIndex = 1,
                        .onClick = Handler::ShowConfigure});
    controls.push_back({.name = "cmdhelp", .kind = ControlKind::PushButton, .text = "&Help",
                        .rect = {2520, 6480, 1455, 375}, .parent = {}, .tab = kNoTab, .tabIndex = 2,
                        .onClick = Handler::ShowHelp});
    // Exit is first in the keyboard order although it stands rightmost, so
    // it holds the focus when the window opens.
    controls.push_back({.name = "Command1", .kind = ControlKind::PushButton, .text = "E&xit",
                        .rect = {4680, 6480, 1455, 375}, .parent = {}, .tab = kNoTab, .tabIndex = 0,
                        .onClick = Handler::EndProgram});
    return window;
}

}  // namespace

const WindowDesign &mainWindowDesign()
{
    static const WindowDesign window = makeMainWindow();
    return window;
}

}  // namespace design
