#include "form1.h"

#include "design/window_design.h"
#include "messages.h"
#include "platform/win_text.h"
#include "settings/settings_file.h"

#include <string>
#include <utility>

namespace win32 {

namespace {

std::string boxText(HWND box)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    return platform::narrow(text);
}

}  // namespace

Form1::Form1(HWND owner) : TopLevelWindow(design::configureDialogDesign()), m_owner(owner) {}

HWND Form1::boxForSlot(int slot) const
{
    const design::Control *box = m_design.textBoxForSlot(slot);
    return box ? at(box->name) : nullptr;
}

void Form1::Form_Load()
{
    const settings::ReadResult read = settings::readDirectories();
    const int readable = read.ok() ? settings::kSlotCount : read.fieldsRead;
    for (int slot = 1; slot <= readable; ++slot)
        ::SetWindowTextW(boxForSlot(slot), platform::widen(read.directories.slot(slot)).c_str());
    m_loadWarning = design::configureLoadMessage(read);
}

void Form1::shown()
{
    if (const std::optional<design::Message> warning = std::exchange(m_loadWarning, std::nullopt))
        showWarning(hwnd(), *warning);
}

void Form1::clicked(const design::Control &button)
{
    if (button.name == "Command2")
        Command2_Click();
    else if (button.name == "Command1")
        Command1_Click();
}

void Form1::Command2_Click()
{
    settings::Directories directories;
    for (int slot = 1; slot <= settings::kSlotCount; ++slot) {
        directories.slot(slot) = boxText(boxForSlot(slot));
        // A value the file cannot carry would shift or swallow the other
        // slots: nothing is written, and the box it came from is shown.
        if (const auto problem = settings::valueProblem(directories.slot(slot))) {
            ::SetFocus(boxForSlot(slot));
            showWarning(hwnd(), design::configureRefusal(slot, *problem));
            return;
        }
    }
    // A failed write keeps the old file; the boxes keep what was typed.
    const settings::WriteResult written = settings::writeDirectories(directories);
    if (!written.ok())
        showWarning(hwnd(), design::configureWriteFailure(written));
}

void Form1::Command1_Click() { ::ShowWindow(hwnd(), SW_HIDE); }

}  // namespace win32
