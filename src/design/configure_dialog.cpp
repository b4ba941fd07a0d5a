#include "design/window_design.h"

#include <algorithm>
#include <array>

namespace design {

namespace {

// The rows from top to bottom: each label stands above the box of its slot.
// The rows do not follow the slots; the TabIndex values give the keyboard
// order (boxes by slot, with Close and Apply right after the Quake directory).
struct DirectoryRow {
    const char *labelName;
    const char *caption;
    const char *boxName;
    int slot;
    int top;  // of the label; the box is 240 lower
    int labelTabIndex;
    int boxTabIndex;
};

constexpr int kColumnLeft = 120;
constexpr int kColumnWidth = 1815;
constexpr int kLabelHeight = 255;
constexpr int kBoxOffset = 240;
constexpr int kBoxHeight = 285;

constexpr std::array<DirectoryRow, 9> kRows{{
    {"Label1", "Quake Directory", "txtDir", 1, 120, 1, 0},
    {"Label6", "TeamFortress Directory", "Text1", 2, 720, 8, 9},
    {"Label5", "CTF Directory", "Text2", 3, 1320, 7, 10},
    {"Label8", "Rocket Arena Directory", "Text7", 8, 1920, 17, 16},
    {"Label9", "Requiem Directory", "Text8", 9, 2520, 19, 18},
    {"Label4", "1-1 Duel Directory", "Text3", 4, 3120, 6, 11},
    {"Label3", "2-2 Duel Directory", "Text4", 5, 3720, 5, 12},
    {"Label2", "3-3 Duel Directory", "Text5", 6, 4320, 4, 13},
    {"Label7", "4-4 Duel Directory", "Text6", 7, 4920, 15, 14},
}};

WindowDesign makeConfigureDialog()
{
    WindowDesign window{.className = "Form1",
                        .caption = "Configure Tessaro",
                        .clientArea = {0, 0, 3585, 5625},
                        .border = Border::Fixed,
                        .minimiseButton = false,
                        .maximiseButton = false,
                        .inTaskbar = false};
    for (const DirectoryRow &row : kRows) {
        window.controls.push_back({.name = row.labelName, .kind = ControlKind::Label, .text = row.caption,
                                   .rect = {kColumnLeft, row.top, kColumnWidth, kLabelHeight}, .parent = {},
                                   .tab = kNoTab, .tabIndex = row.labelTabIndex, .layout = LabelLayout::WrappedLeft});
        window.controls.push_back({.name = row.boxName, .kind = ControlKind::TextBox, .text = {},
                                   .rect = {kColumnLeft, row.top + kBoxOffset, kColumnWidth, kBoxHeight},
                                   .parent = {}, .tab = kNoTab, .tabIndex = row.boxTabIndex,
                                   .layout = LabelLayout::OneLine, .settingsSlot = row.slot});
    }
    window.controls.push_back({.name = "Command2", .kind = ControlKind::PushButton, .text = "&Apply",
                               .rect = {2160, 4680, 1335, 375}, .parent = {}, .tab = kNoTab, .tabIndex = 3,
                               .onClick = Handler::ApplyDirectories});
    window.controls.push_back({.name = "Command1", .kind = ControlKind::PushButton, .text = "&Close",
                               .rect = {2160, 5160, 1335, 375}, .parent = {}, .tab = kNoTab, .tabIndex = 2,
                               .onClick = Handler::HideWindow});
    return window;
}

}  // namespace

const WindowDesign &configureDialogDesign()
{
    static const WindowDesign window = makeConfigureDialog();
    return window;
}

std::string_view slotCaption(int slot)
{
    const auto row = std::find_if(kRows.begin(), kRows.end(), [slot](const DirectoryRow &r) { return r.slot == slot; });
    return row == kRows.end() ? std::string_view{} : std::string_view{row->caption};
}

}  // namespace design
