#pragma once

// The map a test or demo server spawns: one closed room with a spawn spot,
// written as a Quake BSP version 29 file.  Generated rather than shipped, so
// that the repository carries no game data.

#include <string>

namespace qwfixture {

// The bytes of maps/start.bsp: a lit, textured box room whose collision hulls
// let a player stand on its floor, with an info_player_deathmatch in it.
std::string buildBoxMap();

}  // namespace qwfixture
