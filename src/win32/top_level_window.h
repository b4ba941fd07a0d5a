#pragma once

// What the three windows share: the window itself, made from its design and
// rescaled when it moves to a monitor of another DPI, its controls, and the
// keyboard as the program's windows use it (Tab by TabIndex, access keys,
// Enter pressing the focused button, Escape doing nothing).

#include "design/window_design.h"
#include "window_controls.h"

#include <memory>
#include <string_view>

#include <windows.h>

namespace win32 {

class TopLevelWindow {
public:
    virtual ~TopLevelWindow();
    TopLevelWindow(const TopLevelWindow &) = delete;
    TopLevelWindow &operator=(const TopLevelWindow &) = delete;

    // The window while it is loaded, else nullptr.
    HWND hwnd() const { return m_hwnd; }
    bool loaded() const { return m_hwnd != nullptr; }
    // A control of the loaded window, or nullptr.
    HWND at(std::string_view name) const;
    WindowControls *controls() const { return m_controls.get(); }
    // Destroys the window and its controls; the object stays for the next load.
    void unload();

    // The message loop's share of the keyboard: handles `message` when it is
    // a key for one of the program's windows that the window itself takes
    // care of, and says whether it did.  Call it before TranslateMessage.
    static bool handleKey(const MSG &message);

protected:
    explicit TopLevelWindow(const design::WindowDesign &design);

    // Loads the window if it is not (creating it hidden, with its controls,
    // then running Form_Load), shows it and brings it to the front.
    void present(HWND owner = nullptr);
    // Creates the window with its controls, then runs Form_Load.  Unless
    // `showCommand` is SW_HIDE, the window is shown that way first.
    void load(HWND owner, int showCommand = SW_HIDE);

    // The window's load step, when its controls have just been made.
    virtual void Form_Load() {}
    // After present() has shown the window.
    virtual void shown() {}
    // A push button of the window was pressed.
    virtual void clicked(const design::Control &button) = 0;
    // The title bar's close box, the system menu's Close, Alt+F4: unloads.
    virtual void closeRequested() { unload(); }
    // The window is gone (unloaded or ended with the program).
    virtual void destroyed() {}

    const design::WindowDesign &m_design;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool handleOwnKey(const MSG &message);
    DWORD style() const;
    SIZE designSize(int dpi) const;
    void press(HWND button);
    void rescale(int dpi, const RECT &suggested);

    HWND m_hwnd = nullptr;
    std::unique_ptr<WindowControls> m_controls;
    HWND m_lastFocus = nullptr;  // restored when the window is activated again
};

}  // namespace win32
