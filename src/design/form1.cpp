#include "design/form1.h"

#include "launch/process_start.h"
#include "settings/settings_file.h"

#include <utility>

namespace design {

namespace {

const Control &boxForSlot(int slot) { return *configureDialogDesign().textBoxForSlot(slot); }

}  // namespace

Form1::Form1(WindowView &view) : m_view(view) {}

void Form1::Form_Load()
{
    const settings::ReadResult read = settings::readDirectories();
    const int readable = read.ok() ? settings::kSlotCount : read.fieldsRead;
    for (int slot = 1; slot <= readable; ++slot)
        m_view.setBoxText(boxForSlot(slot), read.directories.slot(slot));
    m_loadWarning = configureLoadMessage(read);
    m_fileContentsLoaded = read.contentsRead();
}

void Form1::shown()
{
    if (const std::optional<Message> warning = std::exchange(m_loadWarning, std::nullopt))
        m_view.warn(*warning);
}

void Form1::click(const Control &button)
{
    if (button.onClick == Handler::ApplyDirectories)
        Command2_Click();
    else if (button.onClick == Handler::HideWindow)
        Command1_Click();
}

void Form1::Command2_Click()
{
    // A file the dialog could not read is replaced only once it has gone:
    // until then the boxes say nothing of what it holds.
    if (!m_fileContentsLoaded) {
        const settings::ReadResult now = settings::readDirectories();
        if (now.failure != settings::ReadFailure::Missing) {
            m_view.warn(configureUnreadRefusal(now));
            return;
        }
    }
    settings::Directories directories;
    for (int slot = 1; slot <= settings::kSlotCount; ++slot) {
        directories.slot(slot) = m_view.boxText(boxForSlot(slot));
        // A value the file cannot carry would shift or swallow the other
        // slots: nothing is written, and the box it came from is shown.
        if (const auto problem = settings::valueProblem(directories.slot(slot))) {
            m_view.focusControl(boxForSlot(slot));
            m_view.warn(configureRefusal(slot, *problem));
            return;
        }
    }
    // A Quake directory longer than the system runs programs from would be
    // written and then never launch.
    if (const auto problem = launch::quakeDirectoryProblem(directories.slot(1))) {
        m_view.focusControl(boxForSlot(1));
        m_view.warn(configureRefusal(1, *problem));
        return;
    }
    // A failed write keeps the old file; the boxes keep what was typed.
    const settings::WriteResult written = settings::writeDirectories(directories);
    if (!written.ok())
        m_view.warn(configureWriteFailure(written));
    else
        m_fileContentsLoaded = true;  // the file now holds what the boxes show
}

void Form1::Command1_Click() { m_view.hideWindow(); }

}  // namespace design
