#include "win32/top_level_window.h"

#include "win32/dpi.h"
#include "win_api/text.h"

#include <commctrl.h>

namespace win32 {

namespace {

using win_api::widen;

void registerClass(const std::wstring &name, WNDPROC procedure)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name.c_str();
    ::RegisterClassExW(&windowClass);  // fails harmlessly when the class is there from an earlier load
}

bool isPushButton(HWND hwnd)
{
    wchar_t className[16];
    return ::GetClassNameW(hwnd, className, 16) && ::lstrcmpiW(className, WC_BUTTONW) == 0
           && (::GetWindowLongPtrW(hwnd, GWL_STYLE) & BS_TYPEMASK) <= BS_DEFPUSHBUTTON;
}

}  // namespace

TopLevelWindow::TopLevelWindow(const design::WindowDesign &design, MakeForm makeForm)
    : m_design(design), m_makeForm(std::move(makeForm))
{
}

TopLevelWindow::~TopLevelWindow()
{
    if (m_hwnd) {
        // The derived part is gone: no handler of it may run while the window goes.
        ::SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        ::DestroyWindow(m_hwnd);
    }
}

HWND TopLevelWindow::at(std::string_view name) const { return m_controls ? m_controls->at(name) : nullptr; }

DWORD TopLevelWindow::style() const
{
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    if (m_design.border == design::Border::Sizable)
        style |= WS_THICKFRAME;
    if (m_design.minimiseButton)
        style |= WS_MINIMIZEBOX;
    if (m_design.maximiseButton)
        style |= WS_MAXIMIZEBOX;
    return style;
}

SIZE TopLevelWindow::designSize(int dpi) const
{
    const design::PixelRect client = m_design.clientArea.toPixels(dpi);
    return windowSizeForClient({client.width, client.height}, style(), 0, dpi);
}

void TopLevelWindow::load(HWND owner, int showCommand)
{
    const std::wstring className = widen(m_design.className);
    registerClass(className, &TopLevelWindow::windowProc);
    // Sized for the system's DPI first; the monitor the system places the
    // window on may have another.
    const SIZE provisional = designSize(windowDpi(nullptr));
    ::CreateWindowExW(0, className.c_str(), widen(m_design.caption).c_str(), style(), CW_USEDEFAULT, CW_USEDEFAULT,
                      provisional.cx, provisional.cy, owner, nullptr, ::GetModuleHandleW(nullptr), this);
    if (!m_hwnd)
        return;
    const int dpi = windowDpi(m_hwnd);
    const SIZE size = designSize(dpi);
    ::SetWindowPos(m_hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A window to be shown at once is shown before its controls are made:
    // it is on the screen sooner, and its first paint, which waits for the
    // message loop, has them all.
    const bool showFirst = showCommand != SW_HIDE;
    if (showFirst)
        ::ShowWindow(m_hwnd, showCommand);
    m_controls = std::make_unique<ChildWindows>(m_hwnd, m_design, dpi);
    m_lastFocus = nullptr;
    m_form = m_makeForm(*this);
    m_form->Form_Load();
    if (showFirst) {
        // Activated while it had no control to take the focus.
        if (::GetFocus() == m_hwnd) {
            if (const HWND first = m_controls->firstInFocusOrder())
                ::SetFocus(first);
        }
        ::UpdateWindow(m_hwnd);
    }
}

void TopLevelWindow::presentWindow(HWND owner)
{
    if (!m_hwnd)
        load(owner);
    if (!m_hwnd)
        return;
    ::ShowWindow(m_hwnd, ::IsIconic(m_hwnd) ? SW_RESTORE : SW_SHOW);
    ::SetForegroundWindow(m_hwnd);
    m_form->shown();
}

void TopLevelWindow::unload()
{
    if (m_hwnd)
        ::DestroyWindow(m_hwnd);
}

std::string TopLevelWindow::boxText(const design::Control &box) const
{
    const HWND edit = at(box.name);
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return win_api::narrow(text);
}

void TopLevelWindow::setBoxText(const design::Control &box, const std::string &text)
{
    ::SetWindowTextW(at(box.name), widen(text).c_str());
}

void TopLevelWindow::focusControl(const design::Control &control) { ::SetFocus(at(control.name)); }

void TopLevelWindow::selectTab(int tab) { m_controls->showTab(tab); }

void TopLevelWindow::hideWindow() { ::ShowWindow(m_hwnd, SW_HIDE); }

void TopLevelWindow::warn(const design::Message &message)
{
    const std::wstring text = widen(message.text + "\n\n" + message.advice);
    ::MessageBoxW(m_hwnd, text.c_str(), L"Tessaro", MB_OK | MB_ICONWARNING);
}

void TopLevelWindow::press(HWND button)
{
    if (const design::Control *control = m_controls->controlOf(button))
        m_form->click(*control);
}

void TopLevelWindow::rescale(int dpi, const RECT &suggested)
{
    m_controls->layout(dpi);
    // A fixed window keeps exactly the design's client area; a sizable one
    // keeps the size the user gave it, scaled as the system suggests.
    SIZE size{suggested.right - suggested.left, suggested.bottom - suggested.top};
    if (m_design.border == design::Border::Fixed)
        size = designSize(dpi);
    ::SetWindowPos(m_hwnd, nullptr, suggested.left, suggested.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK TopLevelWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *self = static_cast<TopLevelWindow *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto *self = reinterpret_cast<TopLevelWindow *>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hwnd = nullptr;
        self->m_controls.reset();
        self->m_lastFocus = nullptr;
        self->destroyed();
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT TopLevelWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam && m_controls) {
            if (const design::Control *control = m_controls->controlWithId(LOWORD(wParam))) {
                if (control->kind == design::ControlKind::PushButton)
                    m_form->click(*control);
            }
        }
        return 0;
    case WM_NOTIFY: {
        const auto *notice = reinterpret_cast<const NMHDR *>(lParam);
        if (notice->code == TCN_SELCHANGE && m_controls)
            m_controls->showTab(TabCtrl_GetCurSel(notice->hwndFrom));
        return 0;
    }
    case WM_ACTIVATE:
        // Each window keeps its own focus while another is active, as dialog
        // boxes do, instead of the system's putting it on the window itself.
        if (!m_controls)
            break;
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focused = ::GetFocus();
            if (focused && ::IsChild(m_hwnd, focused))
                m_lastFocus = focused;
        } else if (!::IsIconic(m_hwnd)) {
            const bool usable = m_lastFocus && ::IsChild(m_hwnd, m_lastFocus) && ::IsWindowVisible(m_lastFocus)
                                && ::IsWindowEnabled(m_lastFocus);
            const HWND focus = usable ? m_lastFocus : m_controls->firstInFocusOrder();
            ::SetFocus(focus ? focus : m_hwnd);
        }
        return 0;
    case WM_DPICHANGED:
        if (m_controls)
            rescale(HIWORD(wParam), *reinterpret_cast<const RECT *>(lParam));
        return 0;
    case WM_CLOSE:
        // The title bar's close box, the system menu's Close, Alt+F4.
        unload();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(m_hwnd, message, wParam, lParam);
}

bool TopLevelWindow::handleKey(const MSG &message)
{
    const HWND root = message.hwnd ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (!root || reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(root, GWLP_WNDPROC)) != &TopLevelWindow::windowProc)
        return false;
    auto *self = reinterpret_cast<TopLevelWindow *>(::GetWindowLongPtrW(root, GWLP_USERDATA));
    return self && self->m_controls && self->handleOwnKey(message);
}

bool TopLevelWindow::handleOwnKey(const MSG &message)
{
    const bool altOrControl = ::GetKeyState(VK_MENU) < 0 || ::GetKeyState(VK_CONTROL) < 0;
    if (message.message == WM_KEYDOWN && !altOrControl) {
        switch (message.wParam) {
        case VK_TAB:
            if (const HWND next = m_controls->nextInFocusOrder(::GetFocus(), ::GetKeyState(VK_SHIFT) < 0))
                ::SetFocus(next);
            return true;
        case VK_RETURN: {
            // Once per press: a held key's repeats (bit 30, the key was
            // already down) start no further server.
            const HWND focused = ::GetFocus();
            const bool repeat = (message.lParam & (1L << 30)) != 0;
            if (!repeat && focused && isPushButton(focused))
                press(focused);
            return true;  // and in a text box, Enter does nothing
        }
        case VK_ESCAPE:
            return true;  // no window has a cancel button
        default:
            return false;
        }
    }
    if (message.message == WM_SYSCHAR) {
        const ChildWindows::AccessKey key = m_controls->accessKey(static_cast<wchar_t>(message.wParam));
        if (key.tab != design::kNoTab) {
            m_controls->showTab(key.tab);
            return true;
        }
        if (key.button) {
            ::SetFocus(key.button);
            press(key.button);
            return true;
        }
    }
    return false;
}

SecondaryWindow::SecondaryWindow(const design::SecondaryForm &form, HWND owner)
    : TopLevelWindow(form.design, form.make), m_owner(owner)
{
}

}  // namespace win32
