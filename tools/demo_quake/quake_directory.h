#pragma once

// A Quake directory in which a real QuakeWorld server runs, for tests, the
// benchmark and the newcomer's demo:
//
//   DIR/id1/maps/start.bsp  the generated room (box_map.h)
//   DIR/id1/qwprogs.dat     the game logic, qwprogs.qc compiled by fteqcc
//   DIR/qwsv                a wrapper that runs the real server on 127.0.0.1
//
// The wrapper does not change directory: the server finds id1/ only when it
// is started in DIR, which is what a launcher has to get right.  A game
// directory need not exist; the server then takes everything from id1/.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qwfixture {

struct QuakeDirectoryOptions {
    std::string server = "/usr/games/mvdsv";  // the QuakeWorld server the wrapper runs
    std::string qcSource = {};                // empty: the project's qwprogs.qc
    std::string compiler = "fteqcc";          // looked up in PATH when it has no slash
};

struct BuildOutcome {
    std::vector<std::string> written;  // files that were new or different
    std::string reason;                // why the directory could not be built; empty when it was

    bool ok() const { return reason.empty(); }
};

// Creates DIR or brings it up to date; files that already hold the right
// bytes are left alone, so servers running from DIR are undisturbed.
BuildOutcome buildQuakeDirectory(const std::string &directory, const QuakeDirectoryOptions &options = {});

// The game logic compiled from `qcSource`, or the reason it could not be.
struct CompiledProgs {
    std::string bytes;
    std::string reason;

    bool ok() const { return reason.empty(); }
};
CompiledProgs compileProgs(const std::string &qcSource, const std::string &compiler = "fteqcc");

// Why a QuakeWorld server would refuse `progs`, or nothing.
std::optional<std::string> progsProblem(std::string_view progs);

// The qwsv wrapper's text for a given server program.
std::string wrapperScript(const std::string &server);

std::string defaultQcSource();

}  // namespace qwfixture
