#include "launch/process_start.h"

#include "win_api/text.h"

#include <string>
#include <vector>

#include <windows.h>

namespace launch {

namespace {

using win_api::narrow;
using win_api::systemMessage;
using win_api::widen;

bool isDirectory(const std::wstring &path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool exists(const std::wstring &path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Without long paths enabled, Windows runs no program from a longer path,
// and says only that the path was not found.
constexpr std::size_t kLongestProgramPath = MAX_PATH - 1;
const std::wstring kProgramExtension = L".exe";

// The system's error sorted into the kinds every platform reports alike.
StartFailure classify(DWORD error, const std::wstring &directory, const std::wstring &program, std::string &detail)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
        if (!exists(directory))
            return StartFailure::QuakeDirectoryMissing;
        if (!isDirectory(directory))
            return StartFailure::QuakeDirectoryNotADirectory;
        if (error != ERROR_DIRECTORY)
            return StartFailure::ProgramMissing;
        break;
    case ERROR_ACCESS_DENIED:
        return isDirectory(program + kProgramExtension) ? StartFailure::ProgramIsDirectory
                                                        : StartFailure::ProgramNotExecutable;
    case ERROR_BAD_EXE_FORMAT:
        return StartFailure::NotAProgram;
    case ERROR_EXE_MACHINE_TYPE_MISMATCH:
        detail = "another processor";
        return StartFailure::ForeignArchitecture;
    default:
        break;
    }
    detail = systemMessage(error, program);
    return StartFailure::SystemRefused;
}

}  // namespace

StartResult startServer(const ServerCommand &command)
{
    StartResult result;
    result.program = command.program;

    // The server runs in the Quake directory so that it finds its game data
    // wherever the launcher was started from.
    const std::wstring directory =
        win_api::fullPath(command.quakeDirectory.empty() ? L"\\" : widen(command.quakeDirectory));
    result.workingDirectory = narrow(directory);

    // No Windows path holds a double quote, and one here would end the quotes below early.
    if (command.program.find('"') != std::string::npos)
        return failedStart(result, StartFailure::QuakeDirectoryUnusable, "a Windows path cannot contain a double quote");

    // The program part in double quotes: unquoted, a Quake directory with a
    // blank ("C:\Program Files\Quake") would have the system try
    // "C:\Program.exe" first and run whatever is there instead of the server.
    // Everything after it goes as composed; the system finds qwsv.exe itself.
    const std::wstring program = widen(command.program);
    // Not even tried: the system would only say that the path was not found
    // (and Wine overruns a buffer of its own looking for it).
    if (win_api::fullPath(program).size() + kProgramExtension.size() > kLongestProgramPath)
        return failedStart(result, StartFailure::PathTooLong, std::to_string(kLongestProgramPath));
    const std::wstring line = L"\"" + program + L"\"" + widen(command.arguments);
    std::vector<wchar_t> mutableLine(line.begin(), line.end());
    mutableLine.push_back(L'\0');

    // Its own console, opened minimised and without taking the focus.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;

    PROCESS_INFORMATION process{};
    const BOOL inheritHandles = FALSE;  // no handle of the launcher's reaches the server
    if (!::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, inheritHandles,
                          CREATE_NEW_CONSOLE | CREATE_DEFAULT_ERROR_MODE, nullptr, directory.c_str(), &startup,
                          &process)) {
        const DWORD error = ::GetLastError();
        if (command.quakeDirectory.empty())
            return failedStart(result, StartFailure::NoQuakeDirectory);
        std::string detail;
        const StartFailure failure = classify(error, directory, program, detail);
        return failedStart(result, failure, std::move(detail));
    }
    // Started and forgotten: nothing waits for it or keeps it open.
    result.started = true;
    result.console = true;  // every server gets a console of its own (CREATE_NEW_CONSOLE)
    result.processId = static_cast<long>(process.dwProcessId);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return result;
}

std::optional<std::string> quakeDirectoryProblem(std::string_view quakeDirectory)
{
    if (quakeDirectory.empty())
        return std::nullopt;  // nothing set: the launch says so
    const std::wstring program = win_api::fullPath(widen(std::string(quakeDirectory))) + L"\\qwsv" + kProgramExtension;
    if (program.size() <= kLongestProgramPath)
        return std::nullopt;
    return "is too long: with \\qwsv.exe after it, it makes a path of " + std::to_string(program.size())
        + " characters, and Windows runs no program from a path longer than " + std::to_string(kLongestProgramPath);
}

// The system opens the console itself: a start is final at once.
ServerStart beginServerStart(const ServerCommand &command) { return {startServer(command), nullptr}; }

StartResult finishServerStart(PendingStart &pending)
{
    for (;;) {
        if (auto result = pending.advance())
            return *result;
        ::Sleep(1);
    }
}

// A Windows program always has its standard handles, the system keeps no
// zombies, and a directory in use cannot be deleted.
void ensureStandardDescriptors() {}
void reapChildrenAutomatically() {}
std::optional<std::string> deletedWorkingDirectory() { return std::nullopt; }

}  // namespace launch
