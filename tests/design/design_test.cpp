#include "design/window_design.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

using namespace design;

namespace {

bool inside(const Twips &inner, const Twips &outer)
{
    return inner.left >= 0 && inner.top >= 0 && inner.left + inner.width <= outer.width
           && inner.top + inner.height <= outer.height;
}

// What every renderer relies on: parents exist before their children, names
// and keyboard positions are unique, every control lies inside what holds it,
// and each launch button stands on the tab its catalogue entry names.
TEST(WindowDesign, EveryControlFitsItsParentAndHasItsOwnNameAndTabIndex)
{
    for (const WindowDesign *window : {&mainWindowDesign(), &configureDialogDesign(), &helpWindowDesign()}) {
        SCOPED_TRACE(window->className);
        std::set<std::string> names;
        std::set<int> tabIndexes;
        int launchButtons = 0;
        for (const Control &control : window->controls) {
            SCOPED_TRACE(control.name);
            const Control *parent = window->find(control.parent);
            EXPECT_TRUE(control.parent.empty() || names.count(control.parent)) << "parent missing or later";
            EXPECT_TRUE(names.insert(control.name).second) << "name taken twice";
            if (control.tabIndex != kNoTabIndex)
                EXPECT_TRUE(tabIndexes.insert(control.tabIndex).second) << "TabIndex taken twice";
            else
                EXPECT_FALSE(control.takesFocus()) << "focusable without a TabIndex";

            Twips room = parent ? parent->rect : window->clientArea;
            if (parent && parent->kind == ControlKind::TabControl) {
                ASSERT_GE(control.tab, 0);
                ASSERT_LT(control.tab, static_cast<int>(window->tabCaptions.size()));
                EXPECT_GE(control.rect.top, window->tabRowHeight) << "on the tab row";
            } else {
                EXPECT_EQ(control.tab, parent ? parent->tab : kNoTab);
            }
            EXPECT_TRUE(inside(control.rect, room)) << "outside its parent";

            if (control.launchEntry) {
                ++launchButtons;
                EXPECT_EQ(control.name, control.launchEntry->buttonName());
                EXPECT_EQ(control.onClick, Handler::LaunchServer);
            } else if (control.kind == ControlKind::PushButton) {
                EXPECT_NE(control.onClick, Handler::None) << "a button that does nothing";
            }
        }
        EXPECT_EQ(launchButtons, window == &mainWindowDesign() ? launch::kLaunchButtonCount : 0);
    }
}

// The launch frames and buttons as the layout was drawn, written out
// independently of the tables that make the design: each frame's caption,
// tab and place, each button's place in its frame, in twips.
struct FrameDrawn {
    std::string caption;
    int tab;
    Twips rect;
};

const std::map<std::string, FrameDrawn> kFramesDrawn = {
    {"Frame12", {"Standard DeathMatch", 1, {120, 1080, 6015, 1815}}},
    {"Frame15", {"Requiem", 1, {120, 3360, 6015, 1695}}},
    {"Frame3", {"One-on-One", 2, {240, 480, 3615, 5535}}},
    {"Frame4", {"Two-on-Two", 2, {4200, 480, 1815, 1695}}},
    {"Frame5", {"Three-on-Three", 2, {4200, 2400, 1815, 1695}}},
    {"Frame9", {"Four-on-Four", 2, {4200, 4320, 1815, 1695}}},
    {"Frame10", {"TeamFortress", 3, {120, 600, 6015, 1695}}},
    {"Frame11", {"Capture the Flag", 3, {120, 2400, 6015, 1695}}},
    {"Frame14", {"Rocket Arena", 3, {120, 4200, 6015, 1695}}},
};

struct ButtonDrawn {
    std::string button;
    std::string frame;
    int left;
    int top;
};

std::vector<ButtonDrawn> buttonsDrawn()
{
    std::vector<ButtonDrawn> all = {
        {"cmd27500", "Frame12", 840, 480},  {"cmd27501", "Frame12", 840, 1080},
        {"cmd27502", "Frame12", 3480, 480}, {"cmd27503", "Frame12", 3480, 1080},
        {"cmd27900", "Frame15", 840, 480},  {"cmd27901", "Frame15", 840, 960},
        {"cmd27902", "Frame15", 3480, 480}, {"cmd27903", "Frame15", 3480, 960},
        {"cmd27420", "Frame4", 240, 480},   {"cmd27421", "Frame4", 240, 960},
        {"cmd27422", "Frame5", 240, 480},   {"cmd27423", "Frame5", 240, 960},
        {"cmd27424", "Frame9", 240, 480},   {"cmd27425", "Frame9", 240, 960},
    };
    for (int i = 0; i < 20; ++i)
        all.push_back({"cmd" + std::to_string(27400 + i), "Frame3", i < 10 ? 240 : 2040, 480 + 480 * (i % 10)});
    // The three mod grids on "Other Mods" share one shape.
    const std::pair<const char *, int> grids[] = {{"Frame10", 27600}, {"Frame11", 27700}, {"Frame14", 27800}};
    const int lefts[] = {960, 960, 3600, 3600};
    const int tops[] = {480, 960, 480, 960};
    for (const auto &[frame, firstPort] : grids) {
        for (int i = 0; i < 4; ++i)
            all.push_back({"cmd" + std::to_string(firstPort + i), frame, lefts[i], tops[i]});
    }
    return all;
}

TEST(MainWindowDesign, LaunchButtonsStandInTheirFramesAsDrawn)
{
    const WindowDesign &window = mainWindowDesign();
    const auto buttons = buttonsDrawn();
    ASSERT_EQ(buttons.size(), 46u);
    for (const ButtonDrawn &b : buttons) {
        SCOPED_TRACE(b.button);
        const Control *button = window.find(b.button);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text, "Port " + b.button.substr(3));
        EXPECT_EQ(button->parent, b.frame);
        EXPECT_EQ(button->rect, (Twips{b.left, b.top, 1335, 375}));

        const FrameDrawn &drawn = kFramesDrawn.at(b.frame);
        const Control *frame = window.find(b.frame);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->text, drawn.caption);
        EXPECT_EQ(frame->tab, drawn.tab);
        EXPECT_EQ(frame->rect, drawn.rect);
        EXPECT_EQ(button->tab, drawn.tab);
    }
    EXPECT_EQ(window.tabCaptions, (std::vector<std::string>{"Main", "&DM", "D&uel", "&Other Mods", "More &Info"}));
}

}  // namespace
