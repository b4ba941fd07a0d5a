#include "launch/catalogue.h"

#include <algorithm>

namespace launch {

std::span<const LaunchEntry> entriesOfGameType(GameType gameType)
{
    const auto first = std::find_if(kLaunchCatalogue.begin(), kLaunchCatalogue.end(),
                                    [&](const LaunchEntry &e) { return e.gameType == gameType; });
    const auto last = std::find_if(first, kLaunchCatalogue.end(),
                                   [&](const LaunchEntry &e) { return e.gameType != gameType; });
    return {first, last};
}

const LaunchEntry *findEntry(std::string_view buttonName)
{
    const auto found = std::find_if(kLaunchCatalogue.begin(), kLaunchCatalogue.end(),
                                    [&](const LaunchEntry &e) { return e.buttonName() == buttonName; });
    return found == kLaunchCatalogue.end() ? nullptr : &*found;
}

}  // namespace launch
