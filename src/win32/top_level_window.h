#pragma once

// A window of the program on Windows: made from its design and rescaled when
// it moves to a monitor of another DPI, with its controls, the keyboard as
// the program's windows use it (Tab by TabIndex, access keys, Enter pressing
// the focused button, Escape doing nothing), and its behaviour from the
// design.  This class implements the few primitives the behaviour uses and
// routes the push buttons' clicks to it; nothing here decides what a window
// does.

#include "design/form.h"
#include "design/window_design.h"
#include "win32/child_windows.h"

#include <functional>
#include <memory>
#include <string_view>

#include <windows.h>

namespace win32 {

class TopLevelWindow : public design::WindowView {
public:
    ~TopLevelWindow() override;
    TopLevelWindow(const TopLevelWindow &) = delete;
    TopLevelWindow &operator=(const TopLevelWindow &) = delete;

    // The window while it is loaded, else nullptr.
    HWND hwnd() const { return m_hwnd; }
    bool loaded() const { return m_hwnd != nullptr; }
    // A control of the loaded window, or nullptr.
    HWND at(std::string_view name) const;
    ChildWindows *controls() const { return m_controls.get(); }
    // Destroys the window and its controls; the object stays for the next load.
    void unload();

    std::string boxText(const design::Control &box) const override;
    void setBoxText(const design::Control &box, const std::string &text) override;
    void focusControl(const design::Control &control) override;
    void selectTab(int tab) override;
    void hideWindow() override;
    void unloadWindow() override { unload(); }
    void warn(const design::Message &message) override;

    // The message loop's share of the keyboard: handles `message` when it is
    // a key for one of the program's windows that the window itself takes
    // care of, and says whether it did.  Call it before TranslateMessage.
    static bool handleKey(const MSG &message);

protected:
    using MakeForm = std::function<std::unique_ptr<design::Form>(design::WindowView &)>;
    TopLevelWindow(const design::WindowDesign &design, MakeForm makeForm);

    // Loads the window if it is not (creating it hidden, with its controls,
    // then running its load step), shows it and brings it to the front.
    void presentWindow(HWND owner = nullptr);
    // Creates the window with its controls and a new behaviour, then runs its
    // load step.  Unless `showCommand` is SW_HIDE, the window is shown that
    // way first.
    void load(HWND owner, int showCommand = SW_HIDE);

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

    MakeForm m_makeForm;
    HWND m_hwnd = nullptr;
    std::unique_ptr<ChildWindows> m_controls;
    // Kept after an unload until the next load: a handler of it may be what
    // unloaded the window.
    std::unique_ptr<design::Form> m_form;
    HWND m_lastFocus = nullptr;  // restored when the window is activated again
};

// The Configure dialog or the Help window.  Close hides it where and as
// large as it is; the close box unloads it, and the next showing loads it
// afresh.
class SecondaryWindow : public TopLevelWindow {
public:
    // `owner`, a window that is never shown, keeps this one out of the
    // taskbar; nullptr leaves it there.
    SecondaryWindow(const design::SecondaryForm &form, HWND owner);

    // Shows the window modeless, loading it first if it is not loaded, and
    // restores it when the user has minimised it.
    void present() { presentWindow(m_owner); }

private:
    HWND m_owner;
};

}  // namespace win32
