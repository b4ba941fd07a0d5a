#include "design/messages.h"

#include "design/window_design.h"
#include "launch/start_failure.h"

namespace design {

namespace {

// Another user's settings are not read: this says why, and how to take them.
// The command comes last, so that nothing after it is copied with it.
std::string untrustedAdvice(const settings::ReadResult &read)
{
    return "Tessaro reads only settings files of your own or root's, since they decide which program a click "
           "runs.  If you trust this one, "
        + read.remedy;
}

// Reading the settings and starting a server run short alike: the start's words.
std::string outOfFilesAdvice()
{
    return launch::startFailureMessage(launch::failedStart({}, launch::StartFailure::OutOfFiles), 0).advice;
}

// The boxes of the directories that hold a NUL byte: "The TeamFortress Directory box is".
std::string boxesNamed(const std::vector<int> &slots)
{
    std::string named = "The ";
    for (std::size_t i = 0; i < slots.size(); ++i)
        named += (i == 0 ? "" : i + 1 == slots.size() ? " and the " : ", the ") + std::string(slotCaption(slots[i]));
    return named + (slots.size() == 1 ? " box is" : " boxes are");
}

}  // namespace

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
    case ReadFailure::HoldsNul:
        return {std::move(text), "Click Configure, where the other directories are in their boxes, type the named "
                                 "one again and click Apply."};
    case ReadFailure::Locked:
        return {std::move(text), "Another program holds it open and lets no one read it: close that program (an "
                                 "editor, perhaps), then click again."};
    case ReadFailure::Untrusted:
        return {std::move(text), untrustedAdvice(read)};
    case ReadFailure::OutOfFiles:
        return {std::move(text), outOfFilesAdvice()};
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

namespace {

// What makes a file that the dialog could not read readable, or harmless to
// replace; the sentence goes on.
std::string unreadRemedy(const settings::ReadResult &read)
{
    using settings::ReadFailure;
    switch (read.failure) {
    case ReadFailure::Locked:
        return "Close the program that holds it open, then close this dialog with its close box and open Configure "
               "again.";
    case ReadFailure::Untrusted:
        return "Close this dialog with its close box, and open Configure again once the file is yours.  "
            + untrustedAdvice(read);
    case ReadFailure::OutOfFiles:
        return outOfFilesAdvice();
    case ReadFailure::NotAFile:
        return "Move it out of the way, and Apply writes a new file with the directories in the boxes.";
    default:
        return "Make it readable, then close this dialog with its close box and open Configure again; or move it "
               "out of the way, and Apply writes a new file with the directories in the boxes.";
    }
}

}  // namespace

std::optional<Message> configureLoadMessage(const settings::ReadResult &read)
{
    if (read.ok() || read.failure == settings::ReadFailure::Missing)
        return std::nullopt;
    if (!read.contentsRead())
        return Message{read.reason, "Apply does not replace a file it could not read.  " + unreadRemedy(read)};
    if (!read.slotsWithNul.empty())
        return Message{read.reason, boxesNamed(read.slotsWithNul)
                                        + " left empty.  The other boxes show what was read, and Apply writes them "
                                          "back as they are."};
    return Message{read.reason, read.fieldsRead > 0
                                    ? "The boxes show what could be read.  Apply will write a complete file."
                                    : "Apply will write a complete file with the directories in the boxes."};
}

Message configureUnreadRefusal(const settings::ReadResult &now)
{
    if (now.contentsRead())
        return {"Nothing was written: " + now.path + " can be read now, but this dialog opened before it could, "
                    "so its boxes do not show what the file holds.",
                "Close this dialog with its close box and open Configure again."};
    return {"Nothing was written: " + now.reason, unreadRemedy(now)};
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
