#include "launch/launch_state.h"

namespace launch {

settings::ReadResult LaunchState::getdir(GameType gametype)
{
    settings::ReadResult read = settings::readDirectories();
    if (!read.ok()) {
        m_quakeDirectory.clear();
        m_gameDirectory.clear();
        return read;
    }
    m_quakeDirectory = read.directories.slot(1);
    m_gameDirectory = read.directories.slot(gametype);
    return read;
}

LaunchOutcome launchServer(LaunchState &state, const LaunchEntry &entry)
{
    LaunchOutcome outcome;
    // The settings file went with the directory: say so, rather than that it is missing.
    if (const auto deleted = deletedWorkingDirectory()) {
        outcome.status = LaunchStatus::StartFailed;
        outcome.start = failedStart({}, StartFailure::WorkingDirectoryDeleted, *deleted);
        return outcome;
    }
    outcome.settings = state.getdir(entry.gameType);
    if (!outcome.settings.ok()) {
        outcome.status = LaunchStatus::SettingsFailed;
        return outcome;
    }
    const ServerCommand command = composeCommand(entry, state.quakeDirectory(), state.gameDirectory());
    outcome.commandLine = command.line();
    ServerStart start = beginServerStart(command);
    outcome.start = std::move(start.result);
    outcome.pending = std::move(start.pending);
    outcome.status = outcome.pending         ? LaunchStatus::Pending
                     : outcome.start.started ? LaunchStatus::Started
                                             : LaunchStatus::StartFailed;
    return outcome;
}

LaunchOutcome launchServerAndWait(LaunchState &state, const LaunchEntry &entry)
{
    LaunchOutcome outcome = launchServer(state, entry);
    if (outcome.pending) {
        outcome.start = finishServerStart(*outcome.pending);
        outcome.pending.reset();
        outcome.status = outcome.start.started ? LaunchStatus::Started : LaunchStatus::StartFailed;
    }
    return outcome;
}

}  // namespace launch
