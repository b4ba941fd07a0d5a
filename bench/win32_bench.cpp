// Under Wine (or on Windows), in one run and in turns:
//  - Tessaro.exe from process start to its main window shown, next to a
//    bare Win32 window program (bare_window.exe);
//  - a launch button's click until the stand-in server has started, next to
//    a bare CreateProcessW of the same stand-in with the same line and flags.
// Prints the medians and the ratios; asserts nothing.
//
// usage: win32_bench.exe [RUNS]   (Tessaro.exe, bare_window.exe,
// bare_label.exe, bare_cc6.exe and the stand-in record_child.exe are found
// beside it)

#include "win_api/text.h"
#include "win32/main_window.h"
#include "support/windows/win_support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <commctrl.h>

namespace {

using Clock = std::chrono::steady_clock;

std::wstring beside(const wchar_t *name)
{
    wchar_t module[MAX_PATH * 4];
    const std::wstring self(module, ::GetModuleFileNameW(nullptr, module, MAX_PATH * 4));
    return self.substr(0, self.find_last_of(L"\\/") + 1) + name;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double milliseconds(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

HWND visibleWindowOf(DWORD pid)
{
    struct Search {
        DWORD pid;
        HWND found;
    } search{pid, nullptr};
    ::EnumWindows([](HWND hwnd, LPARAM data) {
        auto *s = reinterpret_cast<Search *>(data);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(hwnd, &owner);
        if (owner != s->pid || !::IsWindowVisible(hwnd) || ::GetWindow(hwnd, GW_OWNER))
            return TRUE;
        s->found = hwnd;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Starts a program and times it until it shows its window; then closes it.
double timeToWindow(const std::wstring &program, const std::wstring &directory)
{
    std::wstring line = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const auto start = Clock::now();
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(), &startup,
                          &process))
        return -1;
    HWND window = nullptr;
    while (!(window = visibleWindowOf(process.dwProcessId))
           && ::WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT) {
    }
    const double elapsed = milliseconds(start);
    if (window)
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return window ? elapsed : -1;
}

// Lets the last stand-in finish, so that starts do not overlap.
bool waitForRecords(const testing_support::FakeQuake &quake, std::size_t count)
{
    for (int i = 0; i < 10000 && quake.records().size() < count; ++i)
        ::Sleep(1);
    return quake.records().size() == count;
}

double bareStart(const std::wstring &quake)
{
    std::wstring line = L"\"" + quake + L"\\qwsv\" +gamedir fortress -port 27601";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION process{};
    const auto start = Clock::now();
    const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                                          CREATE_NEW_CONSOLE | CREATE_DEFAULT_ERROR_MODE, nullptr,
                                          quake.c_str(), &startup, &process);
    const double elapsed = milliseconds(start);
    if (!started)
        return -1;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return elapsed;
}

void report(const char *what, const char *ours, const std::vector<double> &tessaro, const char *theirs,
            const std::vector<double> &bare)
{
    const double a = median(tessaro);
    const double b = median(bare);
    std::printf("%s (median of %zu):\n  %-34s %8.1f ms\n  %-34s %8.1f ms\n  ratio %.2f (aim: at most 1.2)\n", what,
                tessaro.size(), ours, a, theirs, b, b > 0 ? a / b : 0.0);
}

}  // namespace

int main(int argc, char *argv[])
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&classes);
    // A Quake directory whose qwsv.exe is the stand-in, which writes down
    // that it ran and ends; tessaro.cfg beside it names it.
    testing_support::FakeQuake quake;
    quake.setMode("exit");
    testing_support::writeFile(quake.file("tessaro.cfg"),
                               quake.quakeDirectory() + ",fortress,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n");
    const std::wstring root = win_api::widen(quake.root());

    // Tessaro.exe first, then what it is measured against, in turns.
    struct Program {
        const wchar_t *name;
        const char *what;
        std::vector<double> starts;
    };
    std::vector<Program> programs = {
        {L"Tessaro.exe", "", {}},
        {L"bare_window.exe", "", {}},
        {L"bare_label.exe", "the bare window with one line of text", {}},
        {L"bare_cc6.exe", "the bare window with Tessaro.exe's manifest (Common Controls 6)", {}},
    };
    for (int i = 0; i < runs + 1; ++i) {
        for (Program &program : programs) {
            const double elapsed = timeToWindow(beside(program.name), root);
            if (elapsed < 0) {
                std::fprintf(stderr, "%ls did not show its window\n", program.name);
                return 1;
            }
            if (i > 0)  // the first run of each warms Wine up
                program.starts.push_back(elapsed);
        }
    }
    const std::vector<double> &tessaroStart = programs[0].starts;
    report("Start to main window shown", "Tessaro.exe", tessaroStart, "bare_window.exe", programs[1].starts);
    for (std::size_t i = 2; i < programs.size(); ++i) {
        const double theirs = median(programs[i].starts);
        std::printf("  (%ls, %s: %.1f ms, ratio %.2f)\n", programs[i].name, programs[i].what, theirs,
                    theirs > 0 ? median(tessaroStart) / theirs : 0.0);
    }

    const testing_support::ScopedCurrentDirectory cd(quake.root());
    win32::MainWindow window;
    window.show(SW_SHOWNOACTIVATE);
    window.controls()->showTab(design::OtherModsTab);
    const HWND port = window.at("cmd27601");
    std::vector<double> click, bare;
    std::size_t started = 0;
    for (int i = 0; i < runs + 1; ++i) {
        auto start = Clock::now();
        ::SendMessageW(port, BM_CLICK, 0, 0);
        const double ours = milliseconds(start);
        const bool clicked = waitForRecords(quake, ++started);
        const double theirs = bareStart(win_api::widen(quake.quakeDirectory()));
        if (!clicked || theirs < 0 || !waitForRecords(quake, ++started)) {
            std::fprintf(stderr, "a stand-in server did not start\n");
            return 1;
        }
        if (i > 0) {
            click.push_back(ours);
            bare.push_back(theirs);
        }
    }
    report("Launch: click to stand-in started", "BM_CLICK on Port 27601", click, "bare CreateProcessW", bare);
    return 0;
}
