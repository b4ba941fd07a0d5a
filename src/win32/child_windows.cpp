#include "win32/child_windows.h"

#include "win32/system_library.h"
#include "win_api/text.h"

#include <algorithm>

#include <commctrl.h>

namespace win32 {

namespace {

using design::ControlKind;
using design::LabelLayout;
using win_api::widen;

constexpr int kFirstControlId = 100;

// Lower layers stand in front: a label drawn on a frame or a tab must not
// be covered by it, and a label that touches a text box lies behind it.
int layer(ControlKind kind)
{
    switch (kind) {
    case ControlKind::PushButton:
    case ControlKind::TextBox:
        return 0;
    case ControlKind::Label:
        return 1;
    case ControlKind::Frame:
        return 2;
    case ControlKind::TabControl:
        return 3;
    }
    return 0;
}

struct WindowClass {
    const wchar_t *name;
    DWORD style;
    DWORD exStyle;
};

WindowClass windowClass(const design::Control &control)
{
    switch (control.kind) {
    case ControlKind::TabControl:
        return {WC_TABCONTROLW, WS_TABSTOP | TCS_FIXEDWIDTH, 0};
    case ControlKind::Frame:
        return {WC_BUTTONW, BS_GROUPBOX, 0};
    case ControlKind::PushButton:
        return {WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON, 0};
    case ControlKind::TextBox:
        return {WC_EDITW, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::Label:
        break;
    }
    // Static text wraps at blanks and cuts off at its bottom edge by itself.
    switch (control.layout) {
    case LabelLayout::OneLine:
    case LabelLayout::OneLineCentred:
        return {WC_STATICW, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0};
    case LabelLayout::WrappedLeft:
        return {WC_STATICW, SS_LEFT | SS_NOPREFIX, 0};
    case LabelLayout::WrappedCentred:
        return {WC_STATICW, SS_CENTER | SS_NOPREFIX, 0};
    }
    return {WC_STATICW, SS_LEFT | SS_NOPREFIX, 0};
}

// A single character in lower case, as the user's language has it.
wchar_t lowerCase(wchar_t c)
{
    return static_cast<wchar_t>(
        reinterpret_cast<ULONG_PTR>(::CharLowerW(reinterpret_cast<wchar_t *>(static_cast<ULONG_PTR>(c)))));
}

// The letter after "&" in a caption, lower case; 0 when it has none.
wchar_t accessLetter(std::string_view caption)
{
    const auto amp = caption.find('&');
    if (amp == std::string_view::npos || amp + 1 >= caption.size())
        return 0;
    return lowerCase(static_cast<wchar_t>(static_cast<unsigned char>(caption[amp + 1])));
}

bool shownByStyle(HWND child) { return (::GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) != 0; }

}  // namespace

ChildWindows::ChildWindows(HWND window, const design::WindowDesign &design, int dpi)
    : m_window(window), m_design(design), m_children(design.controls.size(), nullptr), m_dpi(dpi)
{
    createControls({design::kNoTab, 0});
    if (m_tabControl)
        showTab(0);
}

// A tab's controls are made when the tab is first shown: most of the main
// window stands on tabs the user may never open, and every control made
// before the window appears delays it.
void ChildWindows::createControls(std::initializer_list<int> tabs)
{
    bool created = false;
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        if (!m_children[i] && std::find(tabs.begin(), tabs.end(), m_design.controls[i].tab) != tabs.end()) {
            m_children[i] = create(m_design.controls[i], kFirstControlId + static_cast<int>(i));
            created = true;
        }
    }
    if (!created)
        return;
    for (int level = 0; level <= layer(ControlKind::TabControl); ++level) {
        for (std::size_t i = 0; i < m_children.size(); ++i) {
            if (m_children[i] && layer(m_design.controls[i].kind) == level)
                ::SetWindowPos(m_children[i], HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    layout(m_dpi);
}

HWND ChildWindows::create(const design::Control &control, int id)
{
    const WindowClass type = windowClass(control);
    const DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (control.tab == design::kNoTab ? WS_VISIBLE : 0) | type.style;
    const HWND child = ::CreateWindowExW(type.exStyle, type.name, widen(control.text).c_str(), style, 0, 0, 0, 0,
                                         m_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                         ::GetModuleHandleW(nullptr), nullptr);
    if (control.kind == ControlKind::TabControl) {
        m_tabControl = child;
        // Drawn in the window's own colour, as the tabbed dialog of the
        // layout was: a themed tab body would stand white behind grey labels.
        // Where UxTheme.dll cannot be loaded nothing is themed anyway.
        static const auto setWindowTheme =
            systemFunction<HRESULT(WINAPI *)(HWND, LPCWSTR, LPCWSTR)>(L"uxtheme.dll", "SetWindowTheme");
        if (setWindowTheme)
            setWindowTheme(child, L" ", L" ");
        for (std::size_t i = 0; i < m_design.tabCaptions.size(); ++i) {
            std::wstring caption = widen(m_design.tabCaptions[i]);
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = caption.data();
            TabCtrl_InsertItem(child, static_cast<int>(i), &item);
        }
    }
    return child;
}

HWND ChildWindows::at(std::string_view name) const
{
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        if (m_design.controls[i].name == name)
            return m_children[i];
    }
    return nullptr;
}

const design::Control *ChildWindows::controlOf(HWND child) const
{
    const auto found = child ? std::find(m_children.begin(), m_children.end(), child) : m_children.end();
    if (found == m_children.end())
        return nullptr;
    return &m_design.controls[static_cast<std::size_t>(found - m_children.begin())];
}

const design::Control *ChildWindows::controlWithId(int id) const
{
    const int index = id - kFirstControlId;
    if (index < 0 || index >= static_cast<int>(m_children.size()))
        return nullptr;
    return &m_design.controls[static_cast<std::size_t>(index)];
}

void ChildWindows::layout(int dpi)
{
    m_dpi = dpi;
    auto fonts = std::make_unique<DesignFonts>(dpi);
    // Where each control's own corner lies in the client area: its parent's
    // corner plus its place, converted a level at a time so that a control
    // keeps its exact offset within its frame at every scale.
    std::vector<POINT> corners;
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        const design::Control &control = m_design.controls[i];
        POINT parent{0, 0};
        if (const design::Control *holder = m_design.find(control.parent))
            parent = corners[static_cast<std::size_t>(holder - m_design.controls.data())];
        const design::PixelRect place = control.rect.toPixels(dpi);
        RECT rect{parent.x + place.left, parent.y + place.top, parent.x + place.left + place.width,
                  parent.y + place.top + place.height};
        corners.push_back({rect.left, rect.top});
        const HWND child = m_children[i];
        if (!child)
            continue;

        const HFONT font = control.kind == ControlKind::Frame ? fonts->bold() : fonts->regular();
        if (control.kind == ControlKind::Label
            && (control.layout == LabelLayout::OneLine || control.layout == LabelLayout::OneLineCentred)) {
            const SIZE text = textExtent(font, widen(control.text).c_str());
            if (control.layout == LabelLayout::OneLineCentred)
                rect.left = parent.x + design::pixels(m_design.titleCentreLine, dpi) - text.cx / 2;
            rect.right = rect.left + text.cx;
            rect.bottom = rect.top + std::max<LONG>(place.height, text.cy);
        }
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (control.kind == ControlKind::TabControl) {
            // Equal tabs filling the row, less the two pixels by which the
            // selected tab stands out on either side: any wider and the
            // control would scroll its row instead of showing every tab.
            const int tabs = std::max<int>(1, static_cast<int>(m_design.tabCaptions.size()));
            TabCtrl_SetItemSize(child, (place.width - 4) / tabs, design::pixels(m_design.tabRowHeight, dpi));
        }
        ::MoveWindow(child, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    }
    m_fonts = std::move(fonts);  // the old fonts only now that no control uses them
    ::InvalidateRect(m_window, nullptr, TRUE);
}

void ChildWindows::showTab(int tab)
{
    if (!m_tabControl)
        return;
    createControls({tab});
    const HWND focused = ::GetFocus();
    bool focusLeaves = false;
    m_tab = tab;
    if (TabCtrl_GetCurSel(m_tabControl) != tab)
        TabCtrl_SetCurSel(m_tabControl, tab);
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        const int onTab = m_design.controls[i].tab;
        if (onTab == design::kNoTab || !m_children[i])
            continue;
        const bool show = onTab == tab;
        focusLeaves = focusLeaves || (!show && m_children[i] == focused);
        ::ShowWindow(m_children[i], show ? SW_SHOWNA : SW_HIDE);
    }
    if (focusLeaves)
        ::SetFocus(m_tabControl);
    // Frames draw only their outline and the tab body stays clear of what
    // stands on it, so what the hidden controls leave behind is repainted
    // from the window up.
    ::RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool ChildWindows::takesFocusNow(HWND child) const
{
    return child && shownByStyle(child) && ::IsWindowEnabled(child);
}

HWND ChildWindows::firstInFocusOrder() const { return nextInFocusOrder(nullptr, false); }

HWND ChildWindows::nextInFocusOrder(HWND from, bool backwards) const
{
    std::vector<HWND> chain;
    for (const design::Control *control : m_design.focusChain())
        chain.push_back(at(control->name));
    if (backwards)
        std::reverse(chain.begin(), chain.end());
    const auto start = std::find(chain.begin(), chain.end(), from);
    const std::size_t first = start == chain.end() ? 0 : static_cast<std::size_t>(start - chain.begin()) + 1;
    for (std::size_t step = 0; step < chain.size(); ++step) {
        const HWND candidate = chain[(first + step) % chain.size()];
        if (takesFocusNow(candidate))
            return candidate;
    }
    return nullptr;
}

ChildWindows::AccessKey ChildWindows::accessKey(wchar_t key) const
{
    const wchar_t letter = lowerCase(key);
    if (m_tabControl) {
        for (std::size_t tab = 0; tab < m_design.tabCaptions.size(); ++tab) {
            if (accessLetter(m_design.tabCaptions[tab]) == letter)
                return {.tab = static_cast<int>(tab)};
        }
    }
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        const design::Control &control = m_design.controls[i];
        if (control.kind == ControlKind::PushButton && accessLetter(control.text) == letter
            && takesFocusNow(m_children[i]))
            return {.button = m_children[i]};
    }
    return {};
}

}  // namespace win32
