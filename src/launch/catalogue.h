#pragma once

// Which launch button starts which server: nine groups, one per game type,
// 46 buttons, each named after the port it serves.  Only what launching
// needs; where a button stands and what its frame says is the window's
// (src/design/main_window.cpp).

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
    GameType gameType;  // also names the group: each game type has one
    CommandForm form;
    int firstPort;
    int buttonCount;
};

struct LaunchEntry {
    std::array<char, 8> name{};  // "cmd" and the five digits of the port
    int port = 0;
    GameType gameType = 0;
    CommandForm form = CommandForm::Plain;

    constexpr std::string_view buttonName() const { return {name.data(), name.size()}; }
};

inline constexpr int kLaunchButtonCount = 46;

// Each group's ports are consecutive.
inline constexpr std::array<LaunchGroup, 9> kLaunchGroups{{
    {1, CommandForm::Plain, 27500, 4},           // Standard DeathMatch
    {9, CommandForm::GameDirectory, 27900, 4},   // Requiem
    {4, CommandForm::GameDirectory, 27400, 20},  // One-on-One
    {5, CommandForm::GameDirectory, 27420, 2},   // Two-on-Two
    {6, CommandForm::GameDirectory, 27422, 2},   // Three-on-Three
    {7, CommandForm::GameDirectory, 27424, 2},   // Four-on-Four
    {2, CommandForm::GameDirectory, 27600, 4},   // TeamFortress
    {3, CommandForm::GameDirectory, 27700, 4},   // Capture the Flag
    {8, CommandForm::GameDirectory, 27800, 4},   // Rocket Arena
}};

namespace detail {
constexpr std::array<LaunchEntry, kLaunchButtonCount> buildCatalogue()
{
    std::array<LaunchEntry, kLaunchButtonCount> entries{};
    std::size_t next = 0;
    for (const LaunchGroup &group : kLaunchGroups) {
        for (int i = 0; i < group.buttonCount; ++i) {
            LaunchEntry &entry = entries.at(next++);
            entry.port = group.firstPort + i;
            entry.name = {'c', 'm', 'd'};
            for (int digit = 7, rest = entry.port; digit >= 3; --digit, rest /= 10)
                entry.name[static_cast<std::size_t>(digit)] = static_cast<char>('0' + rest % 10);
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

// The entries of the group of one game type, in rising port order.
std::span<const LaunchEntry> entriesOfGameType(GameType gameType);

// The entry whose button has this name ("cmd27601"), or nullptr.
const LaunchEntry *findEntry(std::string_view buttonName);

}  // namespace launch
