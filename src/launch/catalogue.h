#pragma once

// Which launch button starts which server: nine groups, one per game type,
// 46 buttons, each named after and captioned with the port it serves.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace launch {

// The settings slot a launch group takes its game directory from (1 to 9).
using GameType = std::int16_t;

enum class CommandForm {
    Plain,          // D\qwsv -port P            (Standard DeathMatch)
    GameDirectory,  // D\qwsv +gamedir G -port P (every mod)
};

struct LaunchGroup {
    std::string_view caption;     // the frame's caption
    std::string_view tabCaption;  // the tab the frame stands on, with its access key
    GameType gameType;
    CommandForm form;
    int firstPort;
    int buttonCount;
};

struct LaunchEntry {
    std::array<char, 8> name{};  // "cmd" and the five digits of the port
    int port = 0;
    int groupIndex = 0;          // into launchGroups()
    std::string_view groupCaption;
    std::string_view tabCaption;
    GameType gameType = 0;
    CommandForm form = CommandForm::Plain;

    constexpr std::string_view buttonName() const { return {name.data(), name.size()}; }
};

inline constexpr int kLaunchButtonCount = 46;

// In the order of the design's table; each group's ports are consecutive.
inline constexpr std::array<LaunchGroup, 9> kLaunchGroups{{
    {"Standard DeathMatch", "&DM", 1, CommandForm::Plain, 27500, 4},
    {"Requiem", "&DM", 9, CommandForm::GameDirectory, 27900, 4},
    {"One-on-One", "D&uel", 4, CommandForm::GameDirectory, 27400, 20},
    {"Two-on-Two", "D&uel", 5, CommandForm::GameDirectory, 27420, 2},
    {"Three-on-Three", "D&uel", 6, CommandForm::GameDirectory, 27422, 2},
    {"Four-on-Four", "D&uel", 7, CommandForm::GameDirectory, 27424, 2},
    {"TeamFortress", "&Other Mods", 2, CommandForm::GameDirectory, 27600, 4},
    {"Capture the Flag", "&Other Mods", 3, CommandForm::GameDirectory, 27700, 4},
    {"Rocket Arena", "&Other Mods", 8, CommandForm::GameDirectory, 27800, 4},
}};

namespace detail {
constexpr std::array<LaunchEntry, kLaunchButtonCount> buildCatalogue()
{
    std::array<LaunchEntry, kLaunchButtonCount> entries{};
    std::size_t next = 0;
    for (std::size_t g = 0; g < kLaunchGroups.size(); ++g) {
        const LaunchGroup &group = kLaunchGroups[g];
        for (int i = 0; i < group.buttonCount; ++i) {
            LaunchEntry &entry = entries.at(next++);
            entry.port = group.firstPort + i;
            entry.name = {'c', 'm', 'd'};
            for (int digit = 7, rest = entry.port; digit >= 3; --digit, rest /= 10)
                entry.name[static_cast<std::size_t>(digit)] = static_cast<char>('0' + rest % 10);
            entry.groupIndex = static_cast<int>(g);
            entry.groupCaption = group.caption;
            entry.tabCaption = group.tabCaption;
            entry.gameType = group.gameType;
            entry.form = group.form;
        }
    }
    if (next != entries.size())
        throw "the launch groups must add up to the launch buttons";
    return entries;
}
}  // namespace detail

// All 46 launch buttons, group by group in rising port order.
inline constexpr std::array<LaunchEntry, kLaunchButtonCount> kLaunchCatalogue = detail::buildCatalogue();

// The entries of one group, in rising port order.
std::span<const LaunchEntry> entriesOfGroup(int groupIndex);

// The entry whose button has this name ("cmd27601"), or nullptr.
const LaunchEntry *findEntry(std::string_view buttonName);

}  // namespace launch
