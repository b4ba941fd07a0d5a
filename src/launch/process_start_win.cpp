#include "launch/process_start.h"

#include <string>
#include <vector>

#include <windows.h>

namespace launch {

namespace {

std::wstring widen(const std::string &text)
{
    if (text.empty())
        return {};
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string narrow(const std::wstring &text)
{
    if (text.empty())
        return {};
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                             nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr,
                          nullptr);
    return bytes;
}

std::string systemMessage(DWORD error)
{
    wchar_t *buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::wstring message = length ? std::wstring(buffer, length) : L"error " + std::to_wstring(error);
    ::LocalFree(buffer);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L'.'))
        message.pop_back();
    return narrow(message);
}

std::wstring fullPath(const std::wstring &path)
{
    const DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return path;
    std::wstring full(length, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    full.resize(written);
    return full;
}

}  // namespace

StartResult startServer(const ServerCommand &command)
{
    StartResult result;
    result.program = command.program;

    // The line as composed; the system finds qwsv.exe itself.  The server runs
    // in the Quake directory so that it finds its game data wherever the
    // launcher was started from.
    std::wstring line = widen(command.line());
    const std::wstring directory = fullPath(command.quakeDirectory.empty() ? L"\\" : widen(command.quakeDirectory));
    result.workingDirectory = narrow(directory);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;

    PROCESS_INFORMATION process{};
    std::vector<wchar_t> mutableLine(line.begin(), line.end());
    mutableLine.push_back(L'\0');
    if (!::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE,
                          CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT, nullptr, directory.c_str(), &startup,
                          &process)) {
        const DWORD error = ::GetLastError();
        result.reason = result.program + " could not be started: " + systemMessage(error) + ".";
        return result;
    }
    result.started = true;
    result.processId = static_cast<long>(process.dwProcessId);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return result;
}

}  // namespace launch
