#include "form1.h"

#include "controls.h"
#include "design_font.h"
#include "settings/settings_file.h"
#include "twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

using ui::Twips;

namespace {

constexpr Twips kClientArea{0, 0, 3585, 5625};

// The rows from top to bottom: each label stands above the box of its slot.
// The rows do not follow the slots; the TabIndex values give the keyboard
// order (boxes by slot, with Close and Apply right after the Quake directory).
struct DirectoryRow {
    const char *labelName;
    const char *caption;
    const char *boxName;
    int slot;
    int top;  // of the label; the box is 240 lower
    int tabIndex;
};

constexpr int kColumnLeft = 120;
constexpr int kColumnWidth = 1815;
constexpr int kLabelHeight = 255;
constexpr int kBoxOffset = 240;
constexpr int kBoxHeight = 285;

constexpr std::array<DirectoryRow, 9> kRows{{
    {"Label1", "Quake Directory", "txtDir", 1, 120, 0},
    {"Label6", "TeamFortress Directory", "Text1", 2, 720, 9},
    {"Label5", "CTF Directory", "Text2", 3, 1320, 10},
    {"Label8", "Rocket Arena Directory", "Text7", 8, 1920, 16},
    {"Label9", "Requiem Directory", "Text8", 9, 2520, 18},
    {"Label4", "1-1 Duel Directory", "Text3", 4, 3120, 11},
    {"Label3", "2-2 Duel Directory", "Text4", 5, 3720, 12},
    {"Label2", "3-3 Duel Directory", "Text5", 6, 4320, 13},
    {"Label7", "4-4 Duel Directory", "Text6", 7, 4920, 14},
}};

struct DialogButton {
    const char *name;
    const char *caption;
    Twips geometry;
    int tabIndex;
};

constexpr DialogButton kApply{"Command2", "&Apply", {2160, 4680, 1335, 375}, 3};
constexpr DialogButton kClose{"Command1", "&Close", {2160, 5160, 1335, 375}, 2};

const DirectoryRow &rowOfSlot(int slot)
{
    return *std::find_if(kRows.begin(), kRows.end(), [slot](const DirectoryRow &row) { return row.slot == slot; });
}

std::optional<ui::Warning> loadWarning(const settings::ReadResult &read)
{
    // No file yet is the first run, not a problem: the first Apply makes it.
    if (read.ok() || read.failure == settings::ReadFailure::Missing)
        return std::nullopt;
    return ui::Warning{ui::fromSystem(read.reason),
                       read.fieldsRead > 0
                           ? QStringLiteral("The boxes show what could be read.  Apply will write a complete file.")
                           : QStringLiteral("Apply will write a complete file with the directories in the boxes.")};
}

}  // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Configure Tessaro"));
    setFont(ui::designFont());
    setFixedSize(kClientArea.toPixels().size());
    // Closing through the title bar unloads the dialog; it never ends the program.
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    createControls();
    Form_Load();
}

void Form1::createControls()
{
    std::vector<std::pair<int, QWidget *>> focusOrder;
    for (const DirectoryRow &row : kRows) {
        ui::createLabel(this, row.labelName, QString::fromUtf8(row.caption),
                        Twips{kColumnLeft, row.top, kColumnWidth, kLabelHeight}.toPixels(), ui::LabelLayout::WrappedLeft);
        QLineEdit *box = ui::createTextBox(this, row.boxName,
                                           Twips{kColumnLeft, row.top + kBoxOffset, kColumnWidth, kBoxHeight}.toPixels());
        m_boxes.at(static_cast<std::size_t>(row.slot - 1)) = box;
        focusOrder.emplace_back(row.tabIndex, box);
    }
    m_applyButton = ui::createButton(this, kApply.name, QString::fromUtf8(kApply.caption), kApply.geometry.toPixels());
    m_closeButton = ui::createButton(this, kClose.name, QString::fromUtf8(kClose.caption), kClose.geometry.toPixels());
    connect(m_applyButton, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(m_closeButton, &QPushButton::clicked, this, &Form1::Command1_Click);
    focusOrder.emplace_back(kApply.tabIndex, m_applyButton);
    focusOrder.emplace_back(kClose.tabIndex, m_closeButton);

    std::sort(focusOrder.begin(), focusOrder.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<QWidget *> chain;
    for (const auto &[tabIndex, widget] : focusOrder)
        chain.push_back(widget);
    chain.push_back(chain.front());
    ui::setFocusChain(chain);
    boxForSlot(1)->setFocus();
}

void Form1::Form_Load()
{
    const settings::ReadResult read = settings::readDirectories();
    const int readable = read.ok() ? settings::kSlotCount : read.fieldsRead;
    for (int slot = 1; slot <= readable; ++slot)
        boxForSlot(slot)->setText(ui::fromSystem(read.directories.slot(slot)));
    m_loadWarning = loadWarning(read);
}

void Form1::present()
{
    show();
    raise();
    activateWindow();
}

void Form1::showEvent(QShowEvent *event)
{
    ui::keepOutOfTaskbar(this);
    QWidget::showEvent(event);
    if (m_loadWarning) {
        ui::showWarning(this, *m_loadWarning);
        m_loadWarning.reset();
    }
}

void Form1::Command2_Click()
{
    settings::Directories directories;
    for (int slot = 1; slot <= settings::kSlotCount; ++slot) {
        const QString text = boxForSlot(slot)->text();
        if (const auto problem = settings::valueProblem(ui::toSystem(text))) {
            boxForSlot(slot)->setFocus();
            ui::showWarning(this, {QStringLiteral("Nothing was written: the %1 %2.")
                                       .arg(QString::fromUtf8(rowOfSlot(slot).caption), ui::fromSystem(*problem)),
                                   QStringLiteral("Correct the directory, then click Apply again.")});
            return;
        }
        directories.slot(slot) = ui::toSystem(text);
    }
    const settings::WriteResult written = settings::writeDirectories(directories);
    if (!written.ok()) {
        ui::showWarning(this, {ui::fromSystem(written.reason),
                               written.previousFileKept
                                   ? QStringLiteral("The settings file was left as it was, and your directories are "
                                                    "still in the boxes.  Fix the cause, then click Apply again.")
                                   : QStringLiteral("Your directories are still in the boxes.  Fix the cause, then "
                                                    "click Apply again.")});
    }
}

void Form1::Command1_Click() { hide(); }
