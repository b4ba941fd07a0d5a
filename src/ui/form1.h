#pragma once

#include "messages.h"

#include <QWidget>

#include <array>
#include <optional>

class QLineEdit;

// The Configure dialog: one box per settings slot, Apply and Close.  A new
// instance is loaded (its boxes filled from the settings file); Close only
// hides it, with every box's text kept; closing it through its title bar
// unloads it, which here means the instance goes and the next Configure makes
// a fresh one.
class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);

    // Shows the dialog and brings it to the front.
    void present();

    // The box that edits settings slot 1 to 9.
    QLineEdit *boxForSlot(int slot) const { return m_boxes.at(static_cast<std::size_t>(slot - 1)); }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void Form_Load();
    void Command2_Click();
    void Command1_Click();

    std::array<QLineEdit *, 9> m_boxes{};  // in slot order
    std::optional<ui::Warning> m_loadWarning;  // shown once the dialog is on screen
};
