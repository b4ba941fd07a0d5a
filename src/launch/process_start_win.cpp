#include "launch/process_start.h"

#include "platform/win_text.h"

#include <string>
#include <vector>

#include <windows.h>

namespace launch {

namespace {

using platform::narrow;
using platform::systemMessage;
using platform::widen;

bool isDirectory(const std::wstring &path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

StartResult startServer(const ServerCommand &command)
{
    StartResult result;
    result.program = command.program;

    // The server runs in the Quake directory so that it finds its game data
    // wherever the launcher was started from.
    const std::wstring directory =
        platform::fullPath(command.quakeDirectory.empty() ? L"\\" : widen(command.quakeDirectory));
    result.workingDirectory = narrow(directory);

    // No Windows path holds a double quote, and one here would end the quotes below early.
    if (command.program.find('"') != std::string::npos) {
        result.reason = "The Quake directory " + command.quakeDirectory
            + " cannot be used: a Windows path cannot contain a double quote.";
        return result;
    }

    // The program part in double quotes: unquoted, a Quake directory with a
    // blank ("C:\Program Files\Quake") would have the system try
    // "C:\Program.exe" first and run whatever is there instead of the server.
    // Everything after it goes as composed; the system finds qwsv.exe itself.
    const std::wstring program = widen(command.program);
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
        result.reason = result.program + " could not be started: " + systemMessage(error, program) + ".";
        if (!isDirectory(directory))
            result.reason += " The Quake directory " + result.workingDirectory + " does not exist.";
        return result;
    }
    // Started and forgotten: nothing waits for it or keeps it open.
    result.started = true;
    result.console = true;  // every server gets a console of its own (CREATE_NEW_CONSOLE)
    result.processId = static_cast<long>(process.dwProcessId);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return result;
}

// A Windows program always has its standard handles.
void ensureStandardDescriptors() {}

}  // namespace launch
