#include "launch/catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace launch;

namespace {

TEST(Catalogue, EveryButtonServesThePortItsNameCarries)
{
    std::set<int> ports;
    std::set<std::string_view> names;
    for (const LaunchEntry &entry : kLaunchCatalogue) {
        EXPECT_EQ(entry.buttonName(), "cmd" + std::to_string(entry.port));
        ports.insert(entry.port);
        names.insert(entry.buttonName());
        EXPECT_EQ(findEntry(entry.buttonName()), &entry);
    }
    EXPECT_EQ(ports.size(), 46u);
    EXPECT_EQ(names.size(), 46u);
    EXPECT_EQ(findEntry("cmd27404x"), nullptr);
    EXPECT_EQ(findEntry("cmd27504"), nullptr);
}

TEST(Catalogue, EachGameTypeHasOneGroupAndOnlyDeathmatchIsPlain)
{
    std::set<GameType> gameTypes;
    for (std::size_t g = 0; g < kLaunchGroups.size(); ++g) {
        const LaunchGroup &group = kLaunchGroups[g];
        gameTypes.insert(group.gameType);
        EXPECT_EQ(group.form == CommandForm::Plain, group.gameType == 1) << group.caption;
        const auto entries = entriesOfGroup(static_cast<int>(g));
        ASSERT_EQ(static_cast<int>(entries.size()), group.buttonCount) << group.caption;
        for (const LaunchEntry &entry : entries) {
            EXPECT_EQ(entry.groupCaption, group.caption);
            EXPECT_EQ(entry.tabCaption, group.tabCaption);
            EXPECT_EQ(entry.gameType, group.gameType);
            EXPECT_EQ(entry.form, group.form);
        }
    }
    EXPECT_EQ(gameTypes, (std::set<GameType>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(Catalogue, ButtonsLandInTheirGroups)
{
    struct Case {
        std::string_view button;
        std::string_view group;
        std::string_view tab;
        GameType gameType;
    };
    for (const Case &c : {Case{"cmd27500", "Standard DeathMatch", "&DM", 1},
                          Case{"cmd27903", "Requiem", "&DM", 9},
                          Case{"cmd27419", "One-on-One", "D&uel", 4},
                          Case{"cmd27421", "Two-on-Two", "D&uel", 5},
                          Case{"cmd27422", "Three-on-Three", "D&uel", 6},
                          Case{"cmd27425", "Four-on-Four", "D&uel", 7},
                          Case{"cmd27601", "TeamFortress", "&Other Mods", 2},
                          Case{"cmd27700", "Capture the Flag", "&Other Mods", 3},
                          Case{"cmd27803", "Rocket Arena", "&Other Mods", 8}}) {
        const LaunchEntry *entry = findEntry(c.button);
        ASSERT_NE(entry, nullptr) << c.button;
        EXPECT_EQ(entry->groupCaption, c.group) << c.button;
        EXPECT_EQ(entry->tabCaption, c.tab) << c.button;
        EXPECT_EQ(entry->gameType, c.gameType) << c.button;
    }
}

}  // namespace
