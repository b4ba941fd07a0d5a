#pragma once

// What the server behind each launch button must report as its game
// directory, written down from the port plan of the buttons rather than
// taken from the catalogue the tests check.

#include "settings/directory_settings.h"

#include <optional>
#include <stdexcept>
#include <string>

namespace qwfixture {

struct PortsOfOneSlot {
    int firstPort;
    int lastPort;
    int slot;  // 0: Standard DeathMatch, started without a game directory
};

inline constexpr PortsOfOneSlot kPortPlan[] = {
    {27400, 27419, 4},  // One-on-One
    {27420, 27421, 5},  // Two-on-Two
    {27422, 27423, 6},  // Three-on-Three
    {27424, 27425, 7},  // Four-on-Four
    {27500, 27503, 0},  // Standard DeathMatch
    {27600, 27603, 2},  // TeamFortress
    {27700, 27703, 3},  // Capture the Flag
    {27800, 27803, 8},  // Rocket Arena
    {27900, 27903, 9},  // Requiem
};

// The "*gamedir" the server on `port` has to report: its slot's directory,
// or none at all for Standard DeathMatch.
inline std::optional<std::string> expectedGameDirectory(int port, const settings::Directories &directories)
{
    for (const PortsOfOneSlot &plan : kPortPlan) {
        if (port >= plan.firstPort && port <= plan.lastPort)
            return plan.slot == 0 ? std::nullopt : std::optional<std::string>(directories.slot(plan.slot));
    }
    throw std::invalid_argument("no launch button serves port " + std::to_string(port));
}

}  // namespace qwfixture
