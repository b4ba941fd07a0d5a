#pragma once

#include "design/form.h"

#include <optional>

namespace design {

// The Configure dialog's behaviour: its load fills one box per settings slot
// from the settings file; Apply writes them back; Close hides the dialog.
class Form1 : public Form {
public:
    explicit Form1(WindowView &view);

    void Form_Load() override;
    void shown() override;
    void click(const Control &button) override;

private:
    void Command2_Click();
    void Command1_Click();

    WindowView &m_view;
    std::optional<Message> m_loadWarning;  // said once the dialog is on the screen
    // False when the boxes could not be filled from a file that is there:
    // writing them over it would lose what it holds.
    bool m_fileContentsLoaded = true;
};

}  // namespace design
