#pragma once

#include "messages.h"
#include "secondary_window.h"
#include "settings/directory_settings.h"

#include <array>
#include <optional>

class QLineEdit;

// The Configure dialog: one box per settings slot, Apply and Close.  A new
// instance is loaded (its boxes filled from the settings file); Close only
// hides it, with every box's text kept.
class Form1 : public SecondaryWindow {
    Q_OBJECT

public:
    Form1();

    // The box that edits settings slot 1 to 9.
    QLineEdit *boxForSlot(int slot) const { return m_boxes.at(static_cast<std::size_t>(slot - 1)); }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void Form_Load();
    void Command2_Click();
    void Command1_Click();

    std::string boxValue(int slot) const;

    std::array<QLineEdit *, 9> m_boxes{};  // in slot order
    // What the file held for each box when it was loaded or last applied.
    settings::Directories m_fileValues;
    std::optional<ui::Warning> m_loadWarning;  // shown once the dialog is on screen
};
