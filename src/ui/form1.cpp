#include "form1.h"

#include "design/messages.h"
#include "design/window_design.h"
#include "settings/settings_file.h"
#include "window_renderer.h"

#include <QLineEdit>
#include <QPushButton>

Form1::Form1() : SecondaryWindow(design::configureDialogDesign())
{
    createControls();
    Form_Load();
}

void Form1::createControls()
{
    const design::WindowDesign &design = design::configureDialogDesign();
    const ui::WindowControls controls(this, design);
    for (int slot = 1; slot <= settings::kSlotCount; ++slot)
        m_boxes.at(static_cast<std::size_t>(slot - 1)) = controls.at<QLineEdit>(design.textBoxForSlot(slot)->name);
    connect(controls.at<QPushButton>("Command2"), &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(controls.at<QPushButton>("Command1"), &QPushButton::clicked, this, &Form1::Command1_Click);
}

void Form1::Form_Load()
{
    const settings::ReadResult read = settings::readDirectories();
    const int readable = read.ok() ? settings::kSlotCount : read.fieldsRead;
    for (int slot = 1; slot <= readable; ++slot) {
        m_fileValues.slot(slot) = read.directories.slot(slot);
        boxForSlot(slot)->setText(ui::fromSystem(m_fileValues.slot(slot)));
    }
    if (const auto message = design::configureLoadMessage(read))
        m_loadWarning = ui::toWarning(*message);
}

void Form1::showEvent(QShowEvent *event)
{
    SecondaryWindow::showEvent(event);
    if (m_loadWarning) {
        ui::showWarning(this, *m_loadWarning);
        m_loadWarning.reset();
    }
}

void Form1::Command2_Click()
{
    settings::Directories directories;
    for (int slot = 1; slot <= settings::kSlotCount; ++slot) {
        directories.slot(slot) = boxValue(slot);
        if (const auto problem = settings::valueProblem(directories.slot(slot))) {
            boxForSlot(slot)->setFocus();
            ui::showWarning(this, ui::toWarning(design::configureRefusal(slot, *problem)));
            return;
        }
    }
    const settings::WriteResult written = settings::writeDirectories(directories);
    if (written.ok())
        m_fileValues = directories;
    else
        ui::showWarning(this, ui::toWarning(design::configureWriteFailure(written)));
}

// A box that still shows what the file held gives back the file's bytes,
// which may not be UTF-8 (a file from Windows, shown as Windows would show
// it).  A box the user changed gives the UTF-8 of what it shows: the "ä" the
// user saw and kept becomes C3 A4, the way this system writes it.
std::string Form1::boxValue(int slot) const
{
    const std::string &fileValue = m_fileValues.slot(slot);
    const QString text = boxForSlot(slot)->text();
    return text == ui::fromSystem(fileValue) ? fileValue : ui::toSystem(text);
}

void Form1::Command1_Click() { hide(); }
