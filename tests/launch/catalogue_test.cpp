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
    for (const LaunchGroup &group : kLaunchGroups) {
        gameTypes.insert(group.gameType);
        EXPECT_EQ(group.form == CommandForm::Plain, group.gameType == 1) << group.gameType;
        const auto entries = entriesOfGameType(group.gameType);
        ASSERT_EQ(static_cast<int>(entries.size()), group.buttonCount) << group.gameType;
        for (const LaunchEntry &entry : entries) {
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
        GameType gameType;
    };
    for (const Case &c : {Case{"cmd27500", 1}, Case{"cmd27903", 9}, Case{"cmd27419", 4}, Case{"cmd27421", 5},
                          Case{"cmd27422", 6}, Case{"cmd27425", 7}, Case{"cmd27601", 2}, Case{"cmd27700", 3},
                          Case{"cmd27803", 8}}) {
        const LaunchEntry *entry = findEntry(c.button);
        ASSERT_NE(entry, nullptr) << c.button;
        EXPECT_EQ(entry->gameType, c.gameType) << c.button;
    }
}

}  // namespace
