// The least a Windows program with a window does: register a class, create
// a window of Tessaro's main window's size and style, show it, run the
// message loop.  win32_bench compares Tessaro.exe's start with this.  Built
// a second time with one line of text in the window (BARE_LABEL), which is
// what the first use of a font costs, and a third time with Tessaro.exe's
// manifest and the common controls loaded (BARE_CC6), which is what their
// visual styles cost before any control is made.

#include <windows.h>
#ifdef BARE_CC6
#include <commctrl.h>
#endif

namespace {

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
#ifdef BARE_CC6
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&classes);
#endif
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"bare";
    ::RegisterClassExW(&windowClass);
    const HWND window = ::CreateWindowExW(0, L"bare", L"bare", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                          CW_USEDEFAULT, CW_USEDEFAULT, 439, 491, nullptr, nullptr, instance, nullptr);
#ifdef BARE_LABEL
    ::CreateWindowExW(0, L"STATIC", L"Tessaro", WS_CHILD | WS_VISIBLE, 8, 8, 100, 13, window, nullptr, instance,
                      nullptr);
#endif
    ::ShowWindow(window, showCommand);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&message);
    return 0;
}
