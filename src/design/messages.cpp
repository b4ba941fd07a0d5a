#include "design/messages.h"

#include "design/window_design.h"
#include "launch/start_failure.h"

namespace design {

Message launchSettingsMessage(const settings::ReadResult &read)
{
    using settings::ReadFailure;
    std::string text = "No server was started.  " + read.reason;
    switch (read.failure) {
    case ReadFailure::Missing:
        return {std::move(text), "Tessaro reads tessaro.cfg from the folder it was started in.  Click Configure, "
                                 "type your Quake directory and the mods' directories, then click Apply."};
    case ReadFailure::TooFewFields:
        return {std::move(text),
                "Click Configure, fill in the missing directories, then click Apply to write a complete settings "
                "file."};
    case ReadFailure::NotAFile:
        return {std::move(text), "Move it out of the way, then click Configure, type the directories and click Apply."};
    case ReadFailure::Unreadable:
    case ReadFailure::FieldTooLong:
    case ReadFailure::None:
        break;
    }
    return {std::move(text), "Check the file, or click Configure and Apply to write a new one."};
}

Message launchFailureMessage(const launch::LaunchEntry &entry, const launch::LaunchOutcome &outcome)
{
    if (outcome.status != launch::LaunchStatus::StartFailed)
        return launchSettingsMessage(outcome.settings);
    launch::StartMessage start = launch::startFailureMessage(outcome.start, entry.port);
    return {std::move(start.text), std::move(start.advice)};
}

std::optional<Message> configureLoadMessage(const settings::ReadResult &read)
{
    if (read.ok() || read.failure == settings::ReadFailure::Missing)
        return std::nullopt;
    return Message{read.reason, read.fieldsRead > 0
                                    ? "The boxes show what could be read.  Apply will write a complete file."
                                    : "Apply will write a complete file with the directories in the boxes."};
}

Message configureRefusal(int slot, const std::string &problem)
{
    return {"Nothing was written: the " + std::string(slotCaption(slot)) + " " + problem + ".",
            "Correct the directory, then click Apply again."};
}

Message configureWriteFailure(const settings::WriteResult &written)
{
    // Where there was no file before, or it could not be put back, saying
    // that it was left as it was would be false comfort.
    if (!written.previousFileKept)
        return {written.reason, "Your directories are still in the boxes.  Fix the cause, then click Apply again."};
    return {written.reason, "The settings file was left as it was, and your directories are still in the boxes.  "
                            "Fix the cause, then click Apply again."};
}

}  // namespace design
