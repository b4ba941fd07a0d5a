#pragma once

// The monitor's scale as the window sees it.  The program declares itself
// per-monitor DPI aware, so it lays out its windows itself and is told when
// a window moves to a monitor of another scale.

#include <windows.h>

namespace win32 {

// The DPI of the monitor the window stands on; the system's before the
// window exists (hwnd null), and 96 where Windows is too old to say.
int windowDpi(HWND hwnd);

// The window rectangle, at `dpi`, that gives a client area of this size.
SIZE windowSizeForClient(SIZE client, DWORD style, DWORD exStyle, int dpi);

}  // namespace win32
