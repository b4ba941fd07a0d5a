#pragma once

// The three windows as data: every control's name, kind, text, place,
// keyboard order and the handler its click runs, read by each platform's
// renderer.  Nothing here knows a toolkit; a caption or a position changed
// here changes every front end.

#include "design/twips.h"
#include "launch/catalogue.h"

#include <string>
#include <string_view>
#include <vector>

namespace design {

enum class ControlKind { TabControl, Frame, Label, PushButton, TextBox };

enum class Border {
    Fixed,    // thin, the window cannot be resized
    Sizable,  // resizing moves nothing: every control stays where it was drawn
};

enum class LabelLayout {
    OneLine,          // sized to its text, starting at its left edge
    OneLineCentred,   // sized to its text, centred on the window's title line
    WrappedLeft,      // fixed box, wrapped at blanks, cut off at the bottom
    WrappedCentred,   // likewise, each line centred
};

// What pressing a push button runs; the window's behaviour (design/form.h)
// dispatches on it.
enum class Handler {
    None,
    LaunchServer,      // the 46 launch buttons: start the server of their catalogue entry
    ShowConfigure,     // cmdConfig
    ShowHelp,          // cmdhelp
    EndProgram,        // the main window's Exit
    ApplyDirectories,  // the Configure dialog's Apply
    HideWindow,        // the secondary windows' Close
};

// The tabs of the main window's tab control, in their order.
enum MainWindowTab { MainTab, DmTab, DuelTab, OtherModsTab, MoreInfoTab };

inline constexpr int kNoTab = -1;
inline constexpr int kNoTabIndex = -1;

struct Control {
    std::string name;  // the toolkit object's name; tests and the handlers find controls by it
    ControlKind kind;
    std::string text;  // caption (with "&" access keys) or label text; empty for text boxes
    // Relative to the parent: the window's client area, a frame's corner, or
    // the tab control's corner with its tab row included.
    Twips rect;
    std::string parent;  // empty for the window itself; else a frame's or the tab control's name
    int tab = kNoTab;    // the tab it stands on, directly or in a frame
    int tabIndex = kNoTabIndex;  // the keyboard order over the whole window
    LabelLayout layout = LabelLayout::OneLine;  // labels only
    int settingsSlot = 0;                       // text boxes: the settings slot they edit, 1 to 9
    Handler onClick = Handler::None;            // push buttons
    const launch::LaunchEntry *launchEntry = nullptr;  // launch buttons: what they start

    bool takesFocus() const;
};

struct WindowDesign {
    std::string className;  // the window's object name
    std::string caption;
    Twips clientArea;       // left and top are 0
    Border border;
    bool minimiseButton;
    bool maximiseButton;
    bool inTaskbar;
    // Every control, each after its parent, in the order they are created
    // (later siblings stand in front of earlier ones where they overlap).
    std::vector<Control> controls{};

    // The tab control's tabs, with "&" access keys, and the height of their row.
    std::vector<std::string> tabCaptions{};
    int tabRowHeight = 0;
    // One-line centred labels centre on this line, measured from their
    // parent's left edge.
    int titleCentreLine = 0;

    // The control of this name, or nullptr.
    const Control *find(std::string_view name) const;
    // The controls that take the focus, in rising TabIndex: Tab visits them
    // in this order (skipping those on hidden tabs) and the window opens with
    // the focus on the first.
    std::vector<const Control *> focusChain() const;
    // Everything standing on one tab, frames' contents included.
    std::vector<const Control *> controlsOnTab(int tab) const;
    // The text box that edits a settings slot, or nullptr.
    const Control *textBoxForSlot(int slot) const;
    // Where a control stands in the client area, whatever its parents.
    Twips clientRect(const Control &control) const;
};

const WindowDesign &mainWindowDesign();       // tessaro
const WindowDesign &configureDialogDesign();  // Form1
const WindowDesign &helpWindowDesign();       // frmhelp

// The caption of the Configure dialog's label for a settings slot
// ("Quake Directory"), which names the box in messages.
std::string_view slotCaption(int slot);

}  // namespace design
