#include "qwserver/quakestat.h"

#include "demo_quake/run_program.h"

#include <sstream>
#include <vector>

namespace qwfixture {

namespace {

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, separator))
        parts.push_back(part);
    return parts;
}

}  // namespace

std::optional<std::string> QuakestatView::rule(const std::string &key) const
{
    const auto found = rules.find(key);
    return found == rules.end() ? std::nullopt : std::optional<std::string>(found->second);
}

std::map<int, QuakestatView> parseQuakestatOutput(const std::string &output)
{
    // One block per server: the status line, the rules line when it
    // answered, then an empty line.
    std::map<int, QuakestatView> servers;
    QuakestatView *current = nullptr;
    for (const std::string &line : split(output, '\n')) {
        if (line.empty()) {
            current = nullptr;
            continue;
        }
        if (current) {
            for (const std::string &rule : split(line, ';')) {
                const auto equals = rule.find('=');
                if (equals != std::string::npos)
                    current->rules[rule.substr(0, equals)] = rule.substr(equals + 1);
            }
            continue;
        }
        const std::vector<std::string> fields = split(line, ';');
        if (fields.size() < 3 || fields[1].rfind(':') == std::string::npos)
            continue;
        const int port = std::stoi(fields[1].substr(fields[1].rfind(':') + 1));
        QuakestatView &view = servers[port];
        view.answered = fields.size() >= 4;
        view.state = view.answered ? "" : fields[2];
        view.map = view.answered ? fields[3] : "";
        current = &view;
    }
    return servers;
}

QuakestatReport askQuakestat(std::span<const int> ports)
{
    QuakestatReport report;
    std::vector<std::string> argv{"quakestat", "-raw", ";", "-R"};
    for (int port : ports) {
        argv.push_back("-qws");
        argv.push_back("127.0.0.1:" + std::to_string(port));
    }
    const ProgramRun run = runProgram(argv, {.timeout = std::chrono::seconds(30)});
    if (!run.ran || run.exitCode != 0) {
        report.reason = run.ran ? "quakestat failed: " + run.errors
                                : "quakestat cannot run: " + run.reason + " (scripts/install-deps installs qstat)";
        return report;
    }
    report.servers = parseQuakestatOutput(run.output);
    for (int port : ports) {
        if (!report.servers.contains(port))
            report.reason = "quakestat said nothing about port " + std::to_string(port) + ":\n" + run.output;
    }
    return report;
}

}  // namespace qwfixture
