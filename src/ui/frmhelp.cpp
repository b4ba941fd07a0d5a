#include "frmhelp.h"

#include "controls.h"
#include "design_font.h"
#include "messages.h"
#include "twips.h"

#include <QGroupBox>
#include <QPushButton>

#include <array>

using ui::Twips;

namespace {

constexpr Twips kClientArea{0, 0, 6465, 6810};

// Each frame holds one wrapped label, 120 in from its left and 360 down from its top.
struct HelpFrame {
    const char *frameName;
    const char *caption;
    Twips frame;
    const char *labelName;
    int labelHeight;
};

constexpr int kLabelLeft = 120;
constexpr int kLabelTop = 360;
constexpr int kLabelWidth = 6135;

constexpr std::array<HelpFrame, 4> kFrames{{
    {"Frame1", "Configuration", {0, 120, 6375, 1095}, "Label1", 495},
    {"Frame2", "General Use", {0, 1320, 6375, 1815}, "Label2", 1215},
    {"Frame3", "Getting Further Help", {0, 3240, 6375, 1455}, "Label3", 855},
    {"Frame4", "Thanks and Plugs", {0, 4800, 6375, 1455}, "Label4", 855},
}};

constexpr Twips kCloseButton{2520, 6360, 1455, 375};

QString helpText(int index)
{
    switch (index) {
    case 0:
        return QStringLiteral("To configure the program simply click the Configure button then type the directories "
                              "of the supported mods in the appropriate fields.  Click Apply then Close.");
    case 1:
        return QStringLiteral(
            "Pretty much all that is involved with using this program is pointing and clicking.  Simply select from "
            "the tabstrip at the top what type of server you wish to start, then click the buttons to start the "
            "servers.  If you plan on starting a lot of servers you had better be packing a bit of processor power "
            "and a fair bit of RAM.  Also, do not start too many servers too quickly, as this will lag up the "
            "system.  Wait a few seconds between starting each server.");
    case 2:
        return QStringLiteral("Check out my home page at %1, where I keep a growing list of frequently asked "
                              "questions.  If your question is not answered there, e-mail me at %2 and I will do "
                              "my best to help.  Please read the list before you write, as most questions are "
                              "already answered in it.")
            .arg(QLatin1String(ui::kHomePage), QLatin1String(ui::kContactAddress));
    default:
        return QStringLiteral("Thanks to everyone who helped me test this program.  Special thanks to [NQX]Fennick "
                              "for introducing it to the big LAN party in Winnipeg and for all the publicity that "
                              "brought it there.  Thanks also to example.org for hosting my home page and for the "
                              "worldwide publicity.");
    }
}

}  // namespace

frmhelp::frmhelp(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmhelp"));
    setWindowTitle(QStringLiteral("Tessaro Help"));
    setFont(ui::designFont());
    // Sizable, and resizing moves nothing: no layout, every control stays where it was drawn.
    resize(kClientArea.toPixels().size());
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    createControls();
}

void frmhelp::createControls()
{
    for (std::size_t i = 0; i < kFrames.size(); ++i) {
        const HelpFrame &help = kFrames[i];
        QGroupBox *frame = ui::createFrame(this, help.frameName, QString::fromUtf8(help.caption), help.frame.toPixels());
        ui::createLabel(frame, help.labelName, helpText(static_cast<int>(i)),
                        Twips{kLabelLeft, kLabelTop, kLabelWidth, help.labelHeight}.toPixels(),
                        ui::LabelLayout::WrappedLeft);
    }
    m_closeButton = ui::createButton(this, "Command1", QStringLiteral("&Close"), kCloseButton.toPixels());
    connect(m_closeButton, &QPushButton::clicked, this, &frmhelp::Command1_Click);
    m_closeButton->setFocus();
}

void frmhelp::present()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void frmhelp::Command1_Click() { hide(); }
