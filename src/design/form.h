#pragma once

// The windows' behaviour, written once for every platform: a window's
// handlers, which read and change the window only through the few primitives
// its renderer implements (WindowView), as each control's handler in the
// design says.

#include "design/messages.h"
#include "design/window_design.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace design {

// What a window's behaviour asks of the renderer that shows it.
class WindowView {
public:
    virtual ~WindowView() = default;

    // A text box's contents in the settings file's encoding, and setting
    // them from it.  What a box shows the user is the renderer's affair.
    virtual std::string boxText(const Control &box) const = 0;
    virtual void setBoxText(const Control &box, const std::string &text) = 0;
    virtual void focusControl(const Control &control) = 0;
    virtual void selectTab(int tab) = 0;
    // The window is hidden and stays loaded, every control as it is.
    virtual void hideWindow() = 0;
    // The window and its controls go; the main window's going ends the program.
    virtual void unloadWindow() = 0;
    // A warning box over this window.  It returns at once: no handler waits
    // for the user.
    virtual void warn(const Message &message) = 0;
};

enum class SecondaryWindow { Configure, Help };

// What the main window's behaviour asks of the program around it.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Shows the one instance of the window modeless and without an owner,
    // creating it on first use and loading it when it is not loaded, and
    // brings it to the front.
    virtual void present(SecondaryWindow window) = 0;
    // Calls `then` once, from the event loop, when `descriptor` is readable or
    // `deadline` has passed, whichever comes first; not at all if the main
    // window goes first.  The only wait there is: nothing blocks the window.
    virtual void watch(int descriptor, std::chrono::steady_clock::time_point deadline,
                       std::function<void()> then) = 0;
};

// One window's behaviour, alive while the window is loaded.
class Form {
public:
    virtual ~Form() = default;
    // The load step: the controls exist, the window is not shown yet.
    virtual void Form_Load() {}
    // The window has just been presented.
    virtual void shown() {}
    // One of the window's push buttons was pressed (a click, Space, Enter on
    // the focused button, or its access key).
    virtual void click(const Control &button) = 0;
};

// How each secondary window is made: its design and its behaviour.
struct SecondaryForm {
    const WindowDesign &design;
    std::unique_ptr<Form> (*make)(WindowView &view);
};
SecondaryForm secondaryForm(SecondaryWindow window);

}  // namespace design
