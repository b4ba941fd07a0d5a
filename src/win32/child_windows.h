#pragma once

// Makes a window's controls from its design with the Windows API and common
// controls: the one place where the Windows program turns the layout into
// child windows.
//
// Every control is a child of the top-level window itself, placed where its
// frame or tab would put it, so that one window holds the whole keyboard
// order and every click lands on the control under the mouse: containers
// (the tab control, frames) lie beneath what they hold.

#include "design/window_design.h"
#include "win32/dpi_fonts.h"

#include <initializer_list>
#include <memory>
#include <string_view>
#include <vector>

#include <windows.h>

namespace win32 {

class ChildWindows {
public:
    // Creates every control of `design` in `window`, laid out for `dpi`.
    ChildWindows(HWND window, const design::WindowDesign &design, int dpi);

    // A control, or nullptr while its tab has never been shown.
    HWND at(std::string_view name) const;
    // The design of a control of this window, or nullptr.
    const design::Control *controlOf(HWND child) const;
    const design::Control *controlWithId(int id) const;

    // Places and sizes every control and gives it the design font for `dpi`.
    void layout(int dpi);

    // Shows the controls of one tab and hides the others'; a control that
    // disappears with its tab hands the focus to the tab row.
    void showTab(int tab);
    int shownTab() const { return m_tab; }

    // The keyboard order: the first control, and the one Tab (or Shift+Tab)
    // leads to from `from`, skipping controls that are hidden or disabled.
    HWND firstInFocusOrder() const;
    HWND nextInFocusOrder(HWND from, bool backwards) const;

    // What Alt+`key` reaches: a tab to select, or a button to press.
    struct AccessKey {
        int tab = design::kNoTab;
        HWND button = nullptr;
    };
    AccessKey accessKey(wchar_t key) const;

private:
    void createControls(std::initializer_list<int> tabs);
    HWND create(const design::Control &control, int id);
    bool takesFocusNow(HWND child) const;

    HWND m_window;
    const design::WindowDesign &m_design;
    std::vector<HWND> m_children;  // in the design's order; null until made
    HWND m_tabControl = nullptr;
    std::unique_ptr<DesignFonts> m_fonts;
    int m_dpi;
    int m_tab = 0;
};

}  // namespace win32
