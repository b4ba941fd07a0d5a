// The Windows program's windows, created in this process and driven through
// the same message handling Tessaro.exe uses.

#include "design/window_design.h"
#include "win_api/text.h"
#include "settings/settings_file.h"
#include "win32/main_window.h"
#include "support/windows/win_support.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <mutex>
#include <thread>

#include <commctrl.h>
#include <uxtheme.h>

using namespace testing_support;
using win_api::narrow;

namespace {

// Answers every message box this process shows (they are modal, and a test
// waiting in one would wait for ever) and keeps what each said.
class MessageBoxes {
public:
    MessageBoxes() : m_thread([this] { answer(); }) {}
    ~MessageBoxes()
    {
        m_stop = true;
        m_thread.join();
    }
    std::vector<std::string> said()
    {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_said, {});
    }

private:
    void answer()
    {
        while (!m_stop) {
            const HWND box = ::FindWindowW(L"#32770", L"Tessaro");
            DWORD pid = 0;
            if (!box || !::GetWindowThreadProcessId(box, &pid) || pid != ::GetCurrentProcessId()
                || !::IsWindowVisible(box)) {
                ::Sleep(10);
                continue;
            }
            std::wstring text;
            ::EnumChildWindows(box, [](HWND child, LPARAM all) {
                wchar_t buffer[2048];
                reinterpret_cast<std::wstring *>(all)->append(buffer, ::GetWindowTextW(child, buffer, 2048)) += L' ';
                return TRUE;
            }, reinterpret_cast<LPARAM>(&text));
            {
                const std::lock_guard lock(m_mutex);
                m_said.push_back(narrow(text));
            }
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            while (::IsWindow(box) && !m_stop)
                ::Sleep(5);
        }
    }

    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_said;
    std::thread m_thread;
};

void pump(int milliseconds = 100)
{
    const ULONGLONG until = ::GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    for (MSG message; ::GetTickCount64() < until; ::Sleep(5)) {
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) && message.message != WM_QUIT)
            ::DispatchMessageW(&message);
    }
}

// A key as the message loop gets it from the focused control.
void key(UINT message, WPARAM code, LPARAM flags = 0)
{
    const MSG msg{::GetFocus(), message, code, flags, 0, {}};
    if (!win32::TopLevelWindow::handleKey(msg))
        ::DispatchMessageW(&msg);
}

std::string text(HWND hwnd)
{
    wchar_t buffer[2048];
    return narrow(std::wstring(buffer, static_cast<std::size_t>(::GetWindowTextW(hwnd, buffer, 2048))));
}

// Where a window stands: on the screen, or in its parent's client area.
std::array<LONG, 4> place(HWND hwnd, bool inParent = false)
{
    RECT rect;
    ::GetWindowRect(hwnd, &rect);
    if (inParent)
        ::MapWindowPoints(nullptr, ::GetParent(hwnd), reinterpret_cast<POINT *>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// The Configure dialog's box for a settings slot.
HWND boxForSlot(const win32::TopLevelWindow &dialog, int slot)
{
    return dialog.at(design::configureDialogDesign().textBoxForSlot(slot)->name);
}

std::string besideThisProgram(const std::string &name)
{
    const std::string child = recordChildPath();
    return child.substr(0, child.find_last_of('\\') + 1) + name;
}

const std::string kDirectories = ",fortress,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n";

class Windows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
        ::InitCommonControlsEx(&classes);
    }

    FakeQuake quake;
    ScopedCurrentDirectory cd{quake.root()};
    MessageBoxes boxes;
    std::unique_ptr<win32::MainWindow> window = std::make_unique<win32::MainWindow>();

    void showMain()
    {
        window->show(SW_SHOW);
        ::SetForegroundWindow(window->hwnd());
        for (int i = 0; i < 100 && ::GetForegroundWindow() != window->hwnd(); ++i)
            pump(20);
        pump();
    }
    void click(const win32::TopLevelWindow &on, const char *name) { ::SendMessageW(on.at(name), BM_CLICK, 0, 0); }
    std::string focusName(const win32::TopLevelWindow &on)
    {
        const design::Control *control = on.controls()->controlOf(::GetFocus());
        return control ? control->name : "(none)";
    }
};

// Every control of every window: its class, text, font and place at 96 DPI
// as the design gives them, and again after a move to a 144-DPI monitor.
TEST_F(Windows, EveryControlIsWhereAndWhatTheDesignSays)
{
    click(*window, "cmdConfig");
    click(*window, "cmdhelp");
    for (int tab = 4; tab >= 0; --tab)
        window->controls()->showTab(tab);  // each tab's controls are made when it is first shown
    const std::pair<const win32::TopLevelWindow *, const design::WindowDesign *> windows[] = {
        {window.get(), &design::mainWindowDesign()},
        {window->configureDialog(), &design::configureDialogDesign()},
        {window->helpWindow(), &design::helpWindowDesign()}};
    const char *kClass[] = {"SysTabControl32", "Button", "Static", "Button", "Edit"};  // by ControlKind

    for (const auto &[shown, design] : windows) {
        SCOPED_TRACE(design->className);
        ASSERT_TRUE(shown && shown->loaded());
        EXPECT_EQ(text(shown->hwnd()), design->caption);
        RECT client;
        ::GetClientRect(shown->hwnd(), &client);
        EXPECT_EQ((design::PixelRect{0, 0, client.right, client.bottom}), design->clientArea.toPixels());
        const LONG_PTR style = ::GetWindowLongPtrW(shown->hwnd(), GWL_STYLE);
        EXPECT_EQ((style & WS_THICKFRAME) != 0, design->border == design::Border::Sizable);
        EXPECT_EQ((style & WS_MINIMIZEBOX) != 0, design->minimiseButton);
        EXPECT_FALSE(style & WS_MAXIMIZEBOX);
        // Out of the taskbar means owned, by a window that is never shown.
        const HWND owner = ::GetWindow(shown->hwnd(), GW_OWNER);
        EXPECT_EQ(owner == nullptr, design->inTaskbar);
        EXPECT_FALSE(owner && ::IsWindowVisible(owner));

        for (const int dpi : {96, 144}) {
            if (dpi != 96) {
                RECT suggested{0, 0, 800, 800};
                ::SendMessageW(shown->hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                               reinterpret_cast<LPARAM>(&suggested));
            }
            for (const design::Control &control : design->controls) {
                SCOPED_TRACE(control.name + " at " + std::to_string(dpi));
                const HWND child = shown->at(control.name);
                ASSERT_NE(child, nullptr);
                wchar_t kind[32];
                ::GetClassNameW(child, kind, 32);
                EXPECT_EQ(narrow(kind), kClass[static_cast<int>(control.kind)]);
                EXPECT_EQ(text(child), control.text);
                LOGFONTW font{};
                ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)), sizeof font, &font);
                EXPECT_EQ(font.lfWeight, control.kind == design::ControlKind::Frame ? FW_BOLD : FW_NORMAL);
                EXPECT_EQ(font.lfHeight, dpi == 96 ? -11 : -17);  // 8.25 pt

                const auto [left, top, width, height] = place(child, true);
                const design::PixelRect drawn = design->clientRect(control).toPixels(dpi);
                const design::PixelRect actual{left, top, width, height};
                const bool oneLine = control.kind == design::ControlKind::Label
                                     && (control.layout == design::LabelLayout::OneLine
                                         || control.layout == design::LabelLayout::OneLineCentred);
                if (!oneLine) {
                    EXPECT_EQ(actual, drawn);
                    continue;
                }
                // One line, exactly as wide as its text, centred on the title line if it belongs to it.
                const HDC screen = ::GetDC(nullptr);
                ::SelectObject(screen, reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)));
                SIZE extent;
                const std::wstring wide = win_api::widen(control.text);
                ::GetTextExtentPoint32W(screen, wide.c_str(), static_cast<int>(wide.size()), &extent);
                EXPECT_EQ(actual.width, extent.cx);
                ::ReleaseDC(nullptr, screen);
                EXPECT_EQ(actual.top, drawn.top);
                if (control.layout == design::LabelLayout::OneLine)
                    EXPECT_EQ(actual.left, drawn.left);
                else
                    EXPECT_NEAR(2 * actual.left + actual.width,
                                2 * design::pixels(design->find("SSTab1")->rect.left + design->titleCentreLine, dpi),
                                1);
            }
        }
    }
    // What the design must say, whatever the renderer does with it.
    std::vector<std::string> tabs;
    for (int tab = 0; tab < TabCtrl_GetItemCount(window->at("SSTab1")); ++tab) {
        wchar_t caption[64];
        TCITEMW item{TCIF_TEXT, 0, 0, caption, 64, 0, 0};
        TabCtrl_GetItem(window->at("SSTab1"), tab, &item);
        tabs.push_back(narrow(caption));
    }
    EXPECT_EQ(tabs, (std::vector<std::string>{"Main", "&DM", "D&uel", "&Other Mods", "More &Info"}));
    for (const launch::LaunchEntry &entry : launch::kLaunchCatalogue)
        EXPECT_EQ(text(window->at(entry.buttonName())), "Port " + std::to_string(entry.port));
    EXPECT_EQ(text(window->at("Label3")), "Version 1.2");
    EXPECT_TRUE(boxes.said().empty());
}

// Tab and Shift+Tab follow TabIndex over the whole window and skip the
// hidden tabs, whose controls can be neither seen nor reached; the access
// keys select the tabs.
TEST_F(Windows, TabFollowsTabIndexOnEveryTab)
{
    std::vector<std::string> duel;
    for (int port = 27425; port >= 27400; --port)
        duel.push_back("cmd" + std::to_string(port));
    const std::vector<std::pair<WPARAM, std::vector<std::string>>> tabs = {
        {0, {}},
        {'d', {"cmd27503", "cmd27502", "cmd27501", "cmd27500", "cmd27903", "cmd27902", "cmd27901", "cmd27900"}},
        {'u', duel},
        {'o', {"cmd27800", "cmd27801", "cmd27802", "cmd27803", "cmd27703", "cmd27702", "cmd27701", "cmd27700",
               "cmd27603", "cmd27602", "cmd27601", "cmd27600"}},
        {'i', {}},
    };
    // Shown as Tessaro.exe shows it, before its controls are made.
    window = std::make_unique<win32::MainWindow>(SW_SHOWNORMAL);
    showMain();
    EXPECT_EQ(focusName(*window), "Command1");
    BYTE keys[256]{};
    for (std::size_t tab = 0; tab < tabs.size(); ++tab) {
        SCOPED_TRACE(tab);
        if (tabs[tab].first)
            key(WM_SYSCHAR, tabs[tab].first);
        EXPECT_EQ(window->controls()->shownTab(), static_cast<int>(tab));
        for (const design::Control &control : design::mainWindowDesign().controls) {
            if (control.tab != design::kNoTab) {
                EXPECT_EQ(::IsWindowVisible(window->at(control.name)) != 0, control.tab == static_cast<int>(tab))
                    << control.name;
            }
        }
        std::vector<std::string> forwards{"cmdConfig", "cmdhelp", "SSTab1"};
        forwards.insert(forwards.end(), tabs[tab].second.begin(), tabs[tab].second.end());
        forwards.push_back("Command1");
        for (const bool backwards : {false, true}) {
            keys[VK_SHIFT] = backwards ? 0x80 : 0;
            ::SetKeyboardState(keys);
            ::SetFocus(window->at("Command1"));
            std::vector<std::string> visited;
            for (std::size_t i = 0; i < forwards.size(); ++i) {
                key(WM_KEYDOWN, VK_TAB);
                visited.push_back(focusName(*window));
            }
            // Backwards from Exit: the same controls the other way round, then Exit.
            std::vector<std::string> expected(forwards);
            if (backwards)
                std::reverse(expected.begin(), expected.end() - 1);
            EXPECT_EQ(visited, expected) << (backwards ? "Shift+Tab" : "Tab");
        }
    }
    keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
}

// A launch button starts exactly the composed line in the Quake directory,
// once per press of Enter, and leaves the focus and the window as they were;
// one that cannot start its server says why and what to do.
TEST_F(Windows, LaunchButtonStartsItsServerOncePerPress)
{
    writeFile("tessaro.cfg", quake.quakeDirectory() + kDirectories);
    quake.setMode("exit");
    showMain();
    key(WM_SYSCHAR, 'o');
    const HWND port = window->at("cmd27601");
    ::SetFocus(port);
    ::SendMessageW(port, BM_CLICK, 0, 0);
    key(WM_KEYDOWN, VK_RETURN, 1L << 30);  // a held key's repeat
    key(WM_KEYDOWN, VK_RETURN);
    key(WM_KEYDOWN, VK_ESCAPE);
    for (int i = 0; i < 300 && quake.records().size() < 2; ++i)
        pump(10);
    pump(200);

    const auto records = quake.records();
    ASSERT_EQ(records.size(), 2u);
    for (const auto &[pid, record] : records) {
        EXPECT_EQ(record.argv, (std::vector<std::string>{quake.quakeDirectory() + "\\qwsv", "+gamedir", "fortress",
                                                         "-port", "27601"}));
        EXPECT_EQ(record.field("cwd"), quake.quakeDirectory());
    }
    EXPECT_EQ(::GetFocus(), port);
    EXPECT_EQ(::GetForegroundWindow(), window->hwnd());
    EXPECT_TRUE(window->loaded()) << "Escape or Enter reached Exit";
    EXPECT_TRUE(boxes.said().empty());

    writeFile("tessaro.cfg", quake.root() + kDirectories);
    ::SendMessageW(port, BM_CLICK, 0, 0);
    const std::vector<std::string> said = boxes.said();
    ASSERT_EQ(said.size(), 1u);
    const std::vector<std::string> parts{"port 27601 could not be started", quake.root() + "\\qwsv",
                                         "Put the QuakeWorld server there as qwsv.exe"};
    for (const std::string &part : parts)
        EXPECT_NE(said[0].find(part), std::string::npos) << part << " not in: " << said[0];
    EXPECT_EQ(quake.records().size(), 2u);
}

// Apply writes the boxes, refuses what the file cannot carry and keeps the
// old file when it cannot write; Close hides the dialog with everything in
// it; the close box unloads it, and the next showing reads the file again.
TEST_F(Windows, ConfigureAppliesHidesAndUnloads)
{
    writeFile("tessaro.cfg", "C:\\quake" + kDirectories);
    showMain();
    click(*window, "cmdConfig");
    win32::SecondaryWindow *dialog = window->configureDialog();
    ASSERT_TRUE(dialog && ::IsWindowVisible(dialog->hwnd()));
    EXPECT_EQ(text(boxForSlot(*dialog, 8)), "arena");
    EXPECT_EQ(focusName(*dialog), "txtDir");

    ::SetWindowTextW(boxForSlot(*dialog, 1), L"D:\\my quake");
    click(*dialog, "Command2");
    const std::string applied = "D:\\my quake" + kDirectories;
    EXPECT_EQ(readFile("tessaro.cfg"), applied);
    ::SetWindowTextW(boxForSlot(*dialog, 3), L"ctf,2");
    click(*dialog, "Command2");
    ::SetWindowTextW(boxForSlot(*dialog, 3), L"ctf2");
    ::SetFileAttributesW(win_api::widen(quake.file("tessaro.cfg")).c_str(), FILE_ATTRIBUTE_READONLY);
    click(*dialog, "Command2");
    ::SetFileAttributesW(win_api::widen(quake.file("tessaro.cfg")).c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::vector<std::string> said = boxes.said();
    ASSERT_EQ(said.size(), 2u);
    EXPECT_NE(said[0].find("the CTF Directory contains a comma"), std::string::npos) << said[0];
    EXPECT_NE(said[1].find("read-only"), std::string::npos) << said[1];
    EXPECT_NE(said[1].find("still in the boxes"), std::string::npos) << said[1];
    EXPECT_EQ(readFile("tessaro.cfg"), applied);

    ::SetWindowPos(dialog->hwnd(), nullptr, 50, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const auto before = place(dialog->hwnd());
    const HWND loadedAs = dialog->hwnd();
    click(*dialog, "Command1");
    EXPECT_FALSE(::IsWindowVisible(loadedAs));
    click(*window, "cmdConfig");
    EXPECT_EQ(dialog->hwnd(), loadedAs);
    EXPECT_TRUE(::IsWindowVisible(loadedAs));
    EXPECT_EQ(place(loadedAs), before);
    EXPECT_EQ(text(boxForSlot(*dialog, 3)), "ctf2");

    ::SendMessageW(dialog->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(dialog->loaded());
    EXPECT_FALSE(::IsWindow(loadedAs));
    click(*window, "cmdConfig");
    EXPECT_EQ(window->configureDialog(), dialog);
    EXPECT_EQ(text(boxForSlot(*dialog, 3)), "ctf");
    EXPECT_TRUE(boxes.said().empty());
}

// The Help window keeps its controls in place when it grows, comes back
// where and as large as it was hidden, is restored when minimised, and is
// unloaded by its close box.  Exit then ends everything at once.
TEST_F(Windows, HelpKeepsItsPlaceAndExitEndsEverything)
{
    showMain();
    click(*window, "cmdhelp");
    win32::SecondaryWindow *help = window->helpWindow();
    ASSERT_TRUE(help && ::IsWindowVisible(help->hwnd()));
    const auto button = place(help->at("Command1"), true);
    ::SetWindowPos(help->hwnd(), nullptr, 40, 30, 700, 650, SWP_NOZORDER);
    EXPECT_EQ(place(help->at("Command1"), true), button);
    const auto before = place(help->hwnd());

    click(*help, "Command1");
    EXPECT_FALSE(::IsWindowVisible(help->hwnd()));
    click(*window, "cmdhelp");
    ::ShowWindow(help->hwnd(), SW_MINIMIZE);
    click(*window, "cmdhelp");
    EXPECT_FALSE(::IsIconic(help->hwnd()));
    EXPECT_EQ(place(help->hwnd()), before);

    ::SendMessageW(help->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(help->loaded());
    click(*window, "cmdConfig");
    click(*window, "cmdhelp");
    click(*window, "Command1");
    EXPECT_FALSE(window->loaded());
    EXPECT_FALSE(window->configureDialog()->loaded());
    EXPECT_FALSE(help->loaded());
    MSG quit;
    EXPECT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// Under Tessaro.exe's manifest the common controls take the visual style,
// all but the tab control, which the program takes out of it through the
// UxTheme.dll it loads itself.
TEST_F(Windows, OnlyTheTabControlIsDrawnWithoutTheVisualStyle)
{
    const std::wstring exe = win_api::widen(besideThisProgram("Tessaro.exe"));
    ACTCTXW manifest{sizeof manifest, ACTCTX_FLAG_RESOURCE_NAME_VALID, exe.c_str(), 0, 0, nullptr,
                     CREATEPROCESS_MANIFEST_RESOURCE_ID, nullptr, nullptr};
    const HANDLE context = ::CreateActCtxW(&manifest);
    ASSERT_NE(context, INVALID_HANDLE_VALUE);
    ULONG_PTR cookie = 0;
    ::ActivateActCtx(context, &cookie);
    SetUpTestSuite();  // registers the classes of Common Controls 6
    const win32::MainWindow styled;
    ::DeactivateActCtx(0, cookie);
    ::ReleaseActCtx(context);

    ASSERT_NE(::GetWindowTheme(styled.at("cmdConfig")), nullptr) << "no visual style for the tab control to leave";
    EXPECT_EQ(::GetWindowTheme(styled.at("SSTab1")), nullptr);
}

// What Tessaro.exe says about itself: its version record and its manifest.
TEST(TessaroExe, CarriesItsVersionRecordAndManifest)
{
    const std::wstring exe = win_api::widen(besideThisProgram("Tessaro.exe"));
    std::vector<char> record(::GetFileVersionInfoSizeW(exe.c_str(), nullptr));
    ASSERT_FALSE(record.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
    const std::pair<const wchar_t *, const char *> strings[] = {
        {L"ProductName", "Tessaro"}, {L"InternalName", "Tessaro"}, {L"OriginalFilename", "Tessaro.exe"},
        {L"FileVersion", "1.00"},    {L"ProductVersion", "1.00"}};
    for (const auto &[name, expected] : strings) {
        wchar_t *value = nullptr;
        UINT length = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(::VerQueryValueW(record.data(), path.c_str(), reinterpret_cast<void **>(&value), &length));
        EXPECT_EQ(narrow(value), expected);
    }

    const HMODULE image =
        ::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr);
    const HRSRC manifest = ::FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const std::string xml(static_cast<const char *>(::LockResource(::LoadResource(image, manifest))),
                          ::SizeofResource(image, manifest));
    EXPECT_NE(xml.find("PerMonitorV2"), std::string::npos);
    EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    ::FreeLibrary(image);
}

}  // namespace
