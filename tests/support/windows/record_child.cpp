// Stands in for qwsv.exe in the Windows tests: a console program that writes
// down what it was given and what it found itself in, then waits to be
// terminated (or exits at once).
//
// TESSARO_RECORD_DIR   where to write <pid>.record, UTF-8 (required)
// TESSARO_RECORD_MODE  "exit": exit after recording; anything else: stay up to a minute
// TESSARO_RECORD_PIPE  a handle value; if this process can write to a pipe
//                      through it, it does (the test's pipe stays empty
//                      unless the handle was inherited)

#include <windows.h>

#include <string>

namespace {

std::string utf8(const std::wstring &text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

std::wstring environment(const wchar_t *name)
{
    wchar_t buffer[4096];
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 4096);
    return length > 0 && length < 4096 ? std::wstring(buffer, length) : std::wstring();
}

std::string escaped(const std::wstring &text)
{
    std::string out;
    for (const char c : utf8(text)) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string flag(bool value) { return value ? "1" : "0"; }

std::string consoleRecord()
{
    std::string record;
    DWORD processes[8];
    record += "console_processes=" + std::to_string(::GetConsoleProcessList(processes, 8)) + "\n";
    const HWND console = ::GetConsoleWindow();
    record += "console_window=" + flag(console != nullptr) + "\n";
    if (console) {
        record += "iconic=" + flag(::IsIconic(console)) + "\n";
        record += "visible=" + flag(::IsWindowVisible(console)) + "\n";
        record += "foreground=" + flag(::GetForegroundWindow() == console) + "\n";
    }
    return record;
}

// Writes one byte through the handle value the test passed, but only if it
// names a pipe here: a handle value that happens to name something else of
// this process's is left alone.
std::string tryInheritedPipe()
{
    const std::wstring value = environment(L"TESSARO_RECORD_PIPE");
    if (value.empty())
        return {};
    const auto handle = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(std::stoull(value)));
    DWORD written = 0;
    const bool wrote = ::GetFileType(handle) == FILE_TYPE_PIPE && ::WriteFile(handle, "x", 1, &written, nullptr);
    return "pipe_written=" + flag(wrote) + "\n";
}

}  // namespace

int wmain(int argc, wchar_t **argv)
{
    const std::wstring directory = environment(L"TESSARO_RECORD_DIR");
    if (directory.empty())
        return 2;

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoW(&startup);

    wchar_t module[MAX_PATH * 4];
    const DWORD moduleLength = ::GetModuleFileNameW(nullptr, module, MAX_PATH * 4);
    wchar_t cwd[MAX_PATH * 4];
    const DWORD cwdLength = ::GetCurrentDirectoryW(MAX_PATH * 4, cwd);

    std::string record;
    record += "pid=" + std::to_string(::GetCurrentProcessId()) + "\n";
    record += "exe=" + escaped(std::wstring(module, moduleLength)) + "\n";
    record += "line=" + escaped(::GetCommandLineW()) + "\n";
    record += "cwd=" + escaped(std::wstring(cwd, cwdLength)) + "\n";
    record += "use_show_window=" + flag(startup.dwFlags & STARTF_USESHOWWINDOW) + "\n";
    record += "show_window=" + std::to_string(startup.wShowWindow) + "\n";
    record += consoleRecord();
    record += tryInheritedPipe();
    for (int i = 0; i < argc; ++i)
        record += "arg=" + escaped(argv[i]) + "\n";
    record += "end=1\n";

    const std::wstring path = directory + L"\\" + std::to_wstring(::GetCurrentProcessId()) + L".record";
    const std::wstring partial = path + L".partial";
    const HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
        ::CloseHandle(file);
        ::MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }

    if (environment(L"TESSARO_RECORD_MODE") == L"exit")
        return 0;
    // A test that forgets to stop it must not keep CI waiting for ever.
    ::Sleep(60 * 1000);
    return 0;
}
