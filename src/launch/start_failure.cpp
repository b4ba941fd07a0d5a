#include "launch/start_failure.h"

#include "launch/process_start.h"

#include <iterator>
#include <string_view>

namespace launch {

namespace {

// {program}, {directory} and {detail} stand for the program, the Quake
// directory and what the failure names besides them.
struct Wording {
    StartFailure failure;
    const char *cause;
    const char *advice;
};

#ifdef _WIN32
#define TESSARO_PLATFORM(posix, windows) windows
#else
#define TESSARO_PLATFORM(posix, windows) posix
#endif

constexpr Wording kWordings[] = {
    {StartFailure::NoQuakeDirectory, "No Quake directory is set.",
     "Click Configure, type the directory that holds qwsv under Quake Directory, then click Apply."},
    {StartFailure::QuakeDirectoryMissing, "The Quake directory {directory} does not exist.",
     "Correct the Quake Directory in Configure and click Apply.  A relative directory is taken from the "
     "directory Tessaro was started in."},
    {StartFailure::QuakeDirectoryNotADirectory, "The Quake directory {directory} is a file, not a directory.",
     "In Configure, give the directory that holds qwsv as the Quake Directory and click Apply."},
    {StartFailure::QuakeDirectoryNotEnterable,
     "The Quake directory {directory} cannot be entered: its permissions keep you out.",
     "Let yourself in (chmod a+rx {directory}; each directory above it must let you through as well), or ask "
     "whoever owns it."},
    {StartFailure::QuakeDirectoryNoExec,
     "{program} cannot be run: the file system at {detail} forbids running programs (it is mounted noexec).",
     "Move the Quake directory to a file system that allows programs, or allow them there: mount -o "
     "remount,exec {detail}"},
    {StartFailure::QuakeDirectoryUnusable, "The Quake directory {directory} cannot be used: {detail}.",
     "Correct the Quake Directory in Configure and click Apply."},
    {StartFailure::QuakeDirectoryWindowsPath, "The Quake directory {detail} is a Windows path, which means nothing here.",
     "Type where Quake is on this computer (such as /srv/quake) under Quake Directory in Configure, then click "
     "Apply."},
    {StartFailure::PathTooLong,
     TESSARO_PLATFORM("{program} is longer than the {detail} bytes that Linux runs a program from.",
                      "{program} is longer than the {detail} characters that Windows runs a program from."),
     TESSARO_PLATFORM("Move the Quake directory to a place with a shorter path, then give that under Quake "
                      "Directory in Configure and click Apply.",
                      "Move Quake to a folder with a shorter path, such as C:\\Quake, then give that under Quake "
                      "Directory in Configure and click Apply.")},
    {StartFailure::ProgramMissing, "{program} does not exist.",
     TESSARO_PLATFORM("Put a QuakeWorld server there under the name qwsv, or a link to one: apt install mvdsv, "
                      "then ln -s /usr/games/mvdsv {program}",
                      "Put the QuakeWorld server there as qwsv.exe, or correct the Quake Directory in Configure "
                      "and click Apply.")},
    {StartFailure::WindowsServerOnly,
     "{program} does not exist.  Beside it is {detail}, the server for Windows, which does not run on Linux.",
     "Install the server for Linux and link it there: apt install mvdsv, then ln -s /usr/games/mvdsv {program}"},
    {StartFailure::ProgramLinkBroken, "{program} is a link to {detail}, which does not exist.",
     "Install what it points to (apt install mvdsv provides /usr/games/mvdsv), or point it at a server that "
     "is there: ln -sf /usr/games/mvdsv {program}"},
    {StartFailure::ProgramIsDirectory, "{program} is a directory, not a program.",
     TESSARO_PLATFORM("qwsv must be the server program itself: move the directory away, then put the server "
                      "there or a link to it: ln -s /usr/games/mvdsv {program}",
                      "qwsv.exe must be the server program itself: move the directory away and put the "
                      "server there.")},
    {StartFailure::ProgramNotExecutable,
     TESSARO_PLATFORM("{program} is not executable.", "You are not allowed to run {program}."),
     TESSARO_PLATFORM("Make it executable: chmod +x {program}",
                      "Allow it in the file's Properties (Security), or ask whoever manages this computer.")},
    {StartFailure::NotAProgram,
     TESSARO_PLATFORM("{program} is not a program for Linux.", "{program} is not a program for Windows."),
     TESSARO_PLATFORM("A Windows qwsv.exe cannot run here: install Debian's server and link it there instead "
                      "(apt install mvdsv, then ln -sf /usr/games/mvdsv {program}).  A script needs a first "
                      "line naming its interpreter, such as #!/bin/sh.",
                      "Put a QuakeWorld server built for Windows there as qwsv.exe.")},
    {StartFailure::LoaderMissing,
     "{program} cannot run on this system: it needs the program loader {detail}, which is not installed.  It "
     "was built for another system, an old 32-bit server for example.",
     "Link Debian's server there instead: apt install mvdsv, then ln -sf /usr/games/mvdsv {program}.  Or "
     "install what it was built for; for a 32-bit server: dpkg --add-architecture i386, apt update, apt "
     "install libc6:i386."},
    {StartFailure::ForeignArchitecture, "{program} is a program for {detail}, not for this computer.",
     TESSARO_PLATFORM("Link Debian's server there instead: apt install mvdsv, then ln -sf /usr/games/mvdsv "
                      "{program}",
                      "Put a QuakeWorld server built for this computer there as qwsv.exe.")},
    {StartFailure::InterpreterMissing, "{program} is a script whose interpreter {detail} does not exist.",
     "Install that interpreter, or correct the first line of {program}: #! followed by the interpreter's "
     "path."},
    {StartFailure::InterpreterNotExecutable, "{program} is a script whose interpreter {detail} cannot be run.",
     "Make the interpreter executable (chmod +x {detail}), or name another in the first line of {program}."},
    {StartFailure::WorkingDirectoryDeleted,
     "Tessaro's working directory {detail} was deleted while Tessaro was running.",
     "Quit Tessaro and start it again in the directory that holds your tessaro.cfg (cd /srv/quake && "
     "tessaro).  Configure and Apply cannot help: nothing can be read from or written to a deleted "
     "directory."},
    {StartFailure::EnvironmentTooLarge,
     "{program} could not be started: Tessaro's environment, which every server inherits, is larger than the "
     "system starts a program with.",
     "Start Tessaro from a shell without the large variables (env lists them; unset NAME removes one), or from a "
     "fresh login."},
    {StartFailure::OutOfFiles, "{program} could not be started: {detail}.",
     "End some programs, or quit Tessaro and start it again (if this comes back, from a shell with a higher limit: "
     "ulimit -n 1024 && tessaro)."},
    {StartFailure::SystemRefused, "{program} could not be started: {detail}.",
     "That is the system's own reason.  If it speaks of memory or processes, end some programs and click "
     "again."},
};

#undef TESSARO_PLATFORM

const Wording &wordingOf(StartFailure failure)
{
    for (const Wording &wording : kWordings) {
        if (wording.failure == failure)
            return wording;
    }
    return kWordings[std::size(kWordings) - 1];  // the system's reason, whatever it was
}

std::string fillIn(std::string_view pattern, const StartResult &result)
{
    const std::pair<std::string_view, const std::string *> names[] = {
        {"{program}", &result.program}, {"{directory}", &result.workingDirectory}, {"{detail}", &result.detail}};
    std::string text;
    while (!pattern.empty()) {
        const auto brace = pattern.find('{');
        text += pattern.substr(0, brace);
        if (brace == std::string_view::npos)
            break;
        pattern.remove_prefix(brace);
        std::size_t used = 1;
        std::string_view replacement = "{";
        for (const auto &[name, value] : names) {
            if (pattern.substr(0, name.size()) == name) {
                used = name.size();
                replacement = *value;
            }
        }
        text += replacement;
        pattern.remove_prefix(used);
    }
    return text;
}

}  // namespace

std::string startFailureCause(const StartResult &result)
{
    return fillIn(wordingOf(result.failure).cause, result);
}

StartResult failedStart(StartResult result, StartFailure failure, std::string detail)
{
    result.started = false;
    result.failure = failure;
    result.detail = std::move(detail);
    result.reason = startFailureCause(result);
    return result;
}

StartMessage startFailureMessage(const StartResult &result, int port)
{
    return {"The server for port " + std::to_string(port) + " could not be started.  " + startFailureCause(result),
            fillIn(wordingOf(result.failure).advice, result)};
}

}  // namespace launch
