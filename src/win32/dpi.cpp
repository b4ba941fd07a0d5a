#include "win32/dpi.h"

#include "win32/system_library.h"

namespace win32 {

namespace {

// Found at run time: they came with Windows 10, and without them the program
// still runs, at the system's DPI.
struct DpiFunctions {
    UINT(WINAPI *getDpiForWindow)(HWND) = nullptr;
    UINT(WINAPI *getDpiForSystem)() = nullptr;
    BOOL(WINAPI *adjustWindowRectExForDpi)(RECT *, DWORD, BOOL, DWORD, UINT) = nullptr;

    DpiFunctions()
    {
        const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        getDpiForWindow = exportedFunction<decltype(getDpiForWindow)>(user32, "GetDpiForWindow");
        getDpiForSystem = exportedFunction<decltype(getDpiForSystem)>(user32, "GetDpiForSystem");
        adjustWindowRectExForDpi = exportedFunction<decltype(adjustWindowRectExForDpi)>(user32, "AdjustWindowRectExForDpi");
    }
};

const DpiFunctions &dpiFunctions()
{
    static const DpiFunctions functions;
    return functions;
}

}  // namespace

int windowDpi(HWND hwnd)
{
    const DpiFunctions &f = dpiFunctions();
    UINT dpi = 0;
    if (hwnd && f.getDpiForWindow)
        dpi = f.getDpiForWindow(hwnd);
    else if (f.getDpiForSystem)
        dpi = f.getDpiForSystem();
    if (dpi == 0) {
        const HDC screen = ::GetDC(nullptr);
        dpi = static_cast<UINT>(::GetDeviceCaps(screen, LOGPIXELSY));
        ::ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<int>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

SIZE windowSizeForClient(SIZE client, DWORD style, DWORD exStyle, int dpi)
{
    RECT rect{0, 0, client.cx, client.cy};
    const DpiFunctions &f = dpiFunctions();
    if (f.adjustWindowRectExForDpi)
        f.adjustWindowRectExForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi));
    else
        ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace win32
