#pragma once

// What Tessaro and tessaro-console say to each other over their private
// channel, one line per word, so that each click starts exactly one server
// and a Tessaro that goes away mid-start leaves no console behind:
//
//   console: ready            the console's window exists
//   Tessaro: start            start the server now
//   console: started <pid>    it runs, as process <pid>
//   console: failed <errno>   the system refused it, for reason <errno>
//
// The channel's end, before "start", means: give up and close the window.

#include <optional>
#include <string>
#include <string_view>

namespace console {

// The program's name, which is also its process name: 15 characters, as long
// as a process name can be.
inline constexpr std::string_view kProgramName = "tessaro-console";
// Its process name once its server has ended, for `pkill -x tessaro-ended`.
inline constexpr std::string_view kEndedName = "tessaro-ended";

inline constexpr std::string_view kReady = "ready";
inline constexpr std::string_view kStart = "start";
inline constexpr std::string_view kStarted = "started ";
inline constexpr std::string_view kFailed = "failed ";

// Its command line: tessaro-console CHANNEL PORT SHORT-NAME DIRECTORY -- PROGRAM ARG...
// CHANNEL is the descriptor of the channel; the server is PROGRAM, an
// absolute path that is also its argv[0], run in DIRECTORY.
inline constexpr std::string_view kEndOfOptions = "--";

// Bytes as they arrive from a stream, taken a whole line at a time.
class LineBuffer {
public:
    void append(const char *bytes, std::size_t size) { m_pending.append(bytes, size); }
    // The next whole line without its line feed; nothing until one has come.
    std::optional<std::string> takeLine()
    {
        const auto end = m_pending.find('\n');
        if (end == std::string::npos)
            return std::nullopt;
        std::string line = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        return line;
    }
    // A peer that sends this much without a line feed is not one of ours.
    bool overflowing() const { return m_pending.size() > 256; }

private:
    std::string m_pending;
};

// The number after `word` in `line`, when the line is that word and a number.
inline std::optional<long> numberAfter(std::string_view word, const std::string &line)
{
    if (line.size() <= word.size() || line.compare(0, word.size(), word) != 0)
        return std::nullopt;
    long number = 0;
    for (std::size_t i = word.size(); i < line.size(); ++i) {
        if (line[i] < '0' || line[i] > '9' || number > 100000000)
            return std::nullopt;
        number = number * 10 + (line[i] - '0');
    }
    return number;
}

}  // namespace console
