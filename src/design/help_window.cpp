#include "design/product.h"
#include "design/window_design.h"

#include <array>

namespace design {

namespace {

// Each frame holds one wrapped label, 120 in from its left and 360 down from its top.
struct HelpFrame {
    const char *frameName;
    const char *caption;
    Twips rect;
    int frameTabIndex;
    const char *labelName;
    int labelHeight;
    std::string text;
};

constexpr int kLabelLeft = 120;
constexpr int kLabelTop = 360;
constexpr int kLabelWidth = 6135;

std::vector<HelpFrame> helpFrames()
{
    return {
        {"Frame1", "Configuration", {0, 120, 6375, 1095}, 0, "Label1", 495,
         "To configure the program simply click the Configure button then type the directories of the supported "
         "mods in the appropriate fields.  Click Apply then Close."},
        {"Frame2", "General Use", {0, 1320, 6375, 1815}, 2, "Label2", 1215,
         "Pretty much all that is involved with using this program is pointing and clicking.  Simply select from "
         "the tabstrip at the top what type of server you wish to start, then click the buttons to start the "
         "servers.  If you plan on starting a lot of servers you had better be packing a bit of processor power "
         "and a fair bit of RAM.  Also, do not start too many servers too quickly, as this will lag up the "
         "system.  Wait a few seconds between starting each server."},
        {"Frame3", "Getting Further Help", {0, 3240, 6375, 1455}, 4, "Label3", 855,
         std::string("Check out my home page at ") + kHomePage
             + ", where I keep a growing list of frequently asked questions.  If your question is not answered "
               "there, e-mail me at "
             + kContactAddress
             + " and I will do my best to help.  Please read the list before you write, as most questions are "
               "already answered in it."},
        {"Frame4", "Thanks and Plugs", {0, 4800, 6375, 1455}, 7, "Label4", 855,
         "Thanks to everyone who helped me test this program.  Special thanks to [NQX]Fennick for introducing it "
         "to the big LAN party in Winnipeg and for all the publicity it gained there.  Thanks also to "
         "example.org for hosting my home page and for the worldwide publicity."},
    };
}

WindowDesign makeHelpWindow()
{
    WindowDesign window{.className = "frmhelp",
                        .caption = "Tessaro Help",
                        .clientArea = {0, 0, 6465, 6810},
                        .border = Border::Sizable,
                        .minimiseButton = true,
                        .maximiseButton = false,
                        .inTaskbar = true};
    for (HelpFrame &help : helpFrames()) {
        window.controls.push_back({.name = help.frameName, .kind = ControlKind::Frame, .text = help.caption,
                                   .rect = help.rect, .parent = {}, .tab = kNoTab, .tabIndex = help.frameTabIndex});
        window.controls.push_back({.name = help.labelName, .kind = ControlKind::Label, .text = std::move(help.text),
                                   .rect = {kLabelLeft, kLabelTop, kLabelWidth, help.labelHeight},
                                   .parent = help.frameName, .tab = kNoTab, .tabIndex = help.frameTabIndex + 1,
                                   .layout = LabelLayout::WrappedLeft});
    }
    window.controls.push_back({.name = "Command1", .kind = ControlKind::PushButton, .text = "&Close",
                               .rect = {2520, 6360, 1455, 375}, .parent = {}, .tab = kNoTab, .tabIndex = 6,
                               .onClick = Handler::HideWindow});
    return window;
}

}  // namespace

const WindowDesign &helpWindowDesign()
{
    static const WindowDesign window = makeHelpWindow();
    return window;
}

}  // namespace design
