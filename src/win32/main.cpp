// Tessaro.exe: the main window and the message loop.  Everything else is in
// the tessaro_win32 library, which the tests drive in-process.

#include "win32/main_window.h"
#include "win32/system_library.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    win32::searchLibrariesInSystemFolderOnly();

    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&classes);

    win32::MainWindow window(showCommand);
    if (!window.hwnd())
        return 1;

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (win32::TopLevelWindow::handleKey(message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
