#pragma once

// The launch state the main window owns, and the launch itself: read the
// settings afresh, compose the line, start the server, forget it.

#include "launch/catalogue.h"
#include "launch/command_line.h"
#include "launch/process_start.h"
#include "settings/settings_file.h"

#include <memory>
#include <string>

namespace launch {

class LaunchState {
public:
    // Reads the settings file and keeps slot 1 as the Quake directory and slot
    // `gametype` as the game directory (for game type 1 both are slot 1).
    // After a failed read both are empty, so nothing stale can be started.
    settings::ReadResult getdir(GameType gametype);

    const std::string &quakeDirectory() const { return m_quakeDirectory; }
    const std::string &gameDirectory() const { return m_gameDirectory; }

private:
    std::string m_quakeDirectory;
    std::string m_gameDirectory;
};

enum class LaunchStatus {
    Started,
    SettingsFailed,  // the settings could not be read; nothing was started
    StartFailed,     // the server program could not be started
    Pending,         // its console is being opened: the start finishes later (`pending`)
};

struct LaunchOutcome {
    LaunchStatus status = LaunchStatus::SettingsFailed;
    settings::ReadResult settings;  // the read that preceded the start
    std::string commandLine;        // as composed, when the settings were read
    StartResult start;              // when a start was attempted; final unless Pending
    std::unique_ptr<PendingStart> pending;  // for Pending: to be watched until it gives the final start
};

// The body of every launch button.  Each call reads the settings file again,
// so directories applied a moment ago take effect at once.  Never waits for
// a console window: that start is handed over, Pending.
LaunchOutcome launchServer(LaunchState &state, const LaunchEntry &entry);

// launchServer, then the wait for a pending start: the outcome is final.  For
// callers without an event loop.
LaunchOutcome launchServerAndWait(LaunchState &state, const LaunchEntry &entry);

}  // namespace launch
