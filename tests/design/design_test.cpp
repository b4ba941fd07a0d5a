#include "design/window_design.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

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
                EXPECT_EQ(window->tabCaptions.at(static_cast<std::size_t>(control.tab)),
                          control.launchEntry->tabCaption);
            }
        }
        EXPECT_EQ(launchButtons, window == &mainWindowDesign() ? launch::kLaunchButtonCount : 0);
    }
}

}  // namespace
