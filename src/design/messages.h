#pragma once

// What the windows tell the user about the settings file: what went wrong,
// naming the file, and what to do about it.  The texts carry the core's
// reasons as they are, so they are in the core's encoding (UTF-8 on Windows,
// the locale's bytes elsewhere).

#include "launch/launch_state.h"
#include "settings/settings_file.h"

#include <optional>
#include <string>

namespace design {

struct Message {
    std::string text;    // what went wrong
    std::string advice;  // what to do about it

    bool operator==(const Message &) const = default;
};

// A launch button found the settings unreadable and started nothing.
Message launchSettingsMessage(const settings::ReadResult &read);

// Why the launch of `entry` started no server, whichever step failed: the
// settings read, or the start itself (worded by the launch core's table).
Message launchFailureMessage(const launch::LaunchEntry &entry, const launch::LaunchOutcome &outcome);

// The Configure dialog loaded from a file it could not read whole; nothing
// for a missing file, which is the first run.
std::optional<Message> configureLoadMessage(const settings::ReadResult &read);

// Apply refused to replace a file that the dialog could not read when it
// loaded, which `now` is a fresh read of.
Message configureUnreadRefusal(const settings::ReadResult &now);

// Apply refused the box of `slot`, for the reason `problem` ("contains a comma").
Message configureRefusal(int slot, const std::string &problem);

// Apply could not write the file.
Message configureWriteFailure(const settings::WriteResult &written);

}  // namespace design
