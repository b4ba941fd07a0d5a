#include "launch/command_line.h"

namespace launch {

ServerCommand composeCommand(const LaunchEntry &entry, std::string_view quakeDirectory,
                             std::string_view gameDirectory)
{
    ServerCommand command;
    command.quakeDirectory = quakeDirectory;
    command.program = std::string(quakeDirectory) + "\\qwsv";
    command.shortName = std::to_string(entry.port);
    command.port = entry.port;
    if (entry.form == CommandForm::GameDirectory) {
        command.arguments = " +gamedir ";
        command.arguments += gameDirectory;
        if (!gameDirectory.empty()) {
            command.shortName += ' ';
            command.shortName += gameDirectory;
        }
    }
    command.arguments += " -port " + std::to_string(entry.port);
    return command;
}

std::vector<std::string> splitArguments(std::string_view line)
{
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;

    for (std::size_t i = 0; i < line.size();) {
        const char c = line[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (inArgument)
                arguments.push_back(std::move(current));
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                current.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    current += '"';
                    ++i;
                }
                // an even count leaves the quote to act below
            } else {
                current.append(backslashes, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                current += '"';
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        current += c;
        ++i;
    }
    if (inArgument)
        arguments.push_back(std::move(current));
    return arguments;
}

ProgramInvocation toInvocation(const ServerCommand &command, std::string_view launcherDirectory)
{
    // An empty Quake directory makes "\qwsv", the root directory's qwsv.
    std::string directory = command.quakeDirectory.empty() ? std::string(1, '/') : command.quakeDirectory;
    if (directory.front() != '/') {
        std::string base(launcherDirectory);
        if (base.empty() || base.back() != '/')
            base += '/';
        directory = base + directory;
    }

    ProgramInvocation invocation;
    invocation.program = directory + (directory.back() == '/' ? "" : "/") + "qwsv";
    invocation.workingDirectory = directory;
    invocation.argv.push_back(invocation.program);
    for (std::string &argument : splitArguments(command.arguments))
        invocation.argv.push_back(std::move(argument));
    return invocation;
}

}  // namespace launch
