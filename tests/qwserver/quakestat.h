#pragma once

// A second opinion from outside the project: what quakestat, the query tool
// LAN players use, sees of the servers on 127.0.0.1.

#include <map>
#include <optional>
#include <span>
#include <string>

namespace qwfixture {

struct QuakestatView {
    bool answered = false;
    std::string state;  // "DOWN", "TIMEOUT", ... when it did not answer
    std::string map;
    std::map<std::string, std::string> rules;  // "*gamedir", "*version", ...

    std::optional<std::string> rule(const std::string &key) const;
};

struct QuakestatReport {
    std::map<int, QuakestatView> servers;  // by port; every port asked about
    std::string reason;                    // why quakestat could not be asked; empty when it was

    bool ok() const { return reason.empty(); }
};

// One quakestat run that asks all `ports` on 127.0.0.1 at once.
QuakestatReport askQuakestat(std::span<const int> ports);

// Parses quakestat's output in the form "-raw ';' -R" gives it.
std::map<int, QuakestatView> parseQuakestatOutput(const std::string &output);

}  // namespace qwfixture
