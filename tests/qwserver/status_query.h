#pragma once

// Talking to QuakeWorld servers on this machine the way a player's browser
// does: a "status" packet to 127.0.0.1, answered with the server's info.

#include <chrono>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qwfixture {

// The server info a QuakeWorld server sends in answer to "status":
// "map", "*gamedir" (absent on a server without +gamedir), "*version", ...
struct ServerInfo {
    std::map<std::string, std::string> values;

    std::optional<std::string> value(const std::string &key) const;
};

// Parses the answer packet; nothing when it is not a status answer.
std::optional<ServerInfo> parseStatusAnswer(std::string_view packet);

// Asks 127.0.0.1:port until it answers or `timeout` runs out.  Polls every
// millisecond, so the time of the first answer is known to about that.
std::optional<ServerInfo> waitForAnswer(int port, std::chrono::milliseconds timeout);

// The ports among `ports` that a UDP socket on 127.0.0.1 cannot have now,
// because some program (a server on 127.0.0.1 or on all addresses) holds them.
std::vector<int> busyPorts(std::span<const int> ports);

// A sentence for a person when some of `ports` are busy, or nothing.
std::optional<std::string> busyPortsProblem(std::span<const int> ports);

// Whether process `pid` holds a UDP socket bound to `port`.
bool holdsUdpPort(long pid, int port);

}  // namespace qwfixture
