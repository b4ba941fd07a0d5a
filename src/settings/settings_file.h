#pragma once

// The settings file tessaro.cfg: read afresh whenever a directory is needed,
// rewritten whole when the user applies the Configure dialog.

#include "settings/directory_settings.h"

#include <string>
#include <vector>

namespace settings {

// Opened by this bare name, that is, in the current working directory.
inline constexpr const char *kFileName = "tessaro.cfg";

enum class ReadFailure {
    None,
    Missing,       // there is no settings file
    Unreadable,    // it exists but cannot be opened or read
    Locked,        // another program holds it open and lets no one read it (Windows)
    OutOfFiles,    // Tessaro, or the system, has no file to spare for reading it
    Untrusted,     // it, or a link on the way to it, belongs to another user
    NotAFile,      // a directory, a pipe, a socket, a device
    TooFewFields,  // it ends before the ninth directory
    FieldTooLong,  // a field is longer than any directory could be
    HoldsNul,      // a directory holds a NUL byte; the others were read
};

struct ReadResult {
    ReadFailure failure = ReadFailure::None;
    Directories directories;  // all nine when ok(); the fields that could be read otherwise
    int fieldsRead = 0;
    std::vector<int> slotsWithNul;  // read, but left empty: they hold a NUL byte
    std::string path;         // the file as a person would find it (absolute)
    std::string reason;       // what is wrong, in words; empty when ok()
    std::string remedy;       // Untrusted: how to make the settings your own, as a command

    bool ok() const { return failure == ReadFailure::None; }
    // Whether the file's contents were there to be read: where they were not
    // (a lock, a read error, another user's file), the boxes of a dialog that
    // loaded it say nothing about it, and writing them over it would lose it.
    bool contentsRead() const
    {
        return ok() || failure == ReadFailure::Missing || failure == ReadFailure::TooFewFields
            || failure == ReadFailure::FieldTooLong || failure == ReadFailure::HoldsNul;
    }
};

struct WriteResult {
    bool written = false;
    // When nothing was written: whether a settings file was there before and
    // is still as it was (false where there was none).
    bool previousFileKept = false;
    std::string path;    // the file as a person would find it (absolute)
    std::string reason;  // why nothing was written; empty when written

    bool ok() const { return written; }
};

// Reads the first nine fields of tessaro.cfg in the current directory.
ReadResult readDirectories();
ReadResult readDirectoriesFrom(const std::string &path);

// Replaces tessaro.cfg in the current directory with the nine values.  The
// old file stays as it was unless the new one is complete: the line goes to a
// new file beside it, which then takes its name.  Values that valueProblem()
// rejects are refused, since they would shift or swallow the other slots, and
// so is a file whose owner took away its write permission.
WriteResult writeDirectories(const Directories &directories);
WriteResult writeDirectoriesTo(const std::string &path, const Directories &directories);

}  // namespace settings
