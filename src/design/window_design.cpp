#include "design/window_design.h"

#include <algorithm>

namespace design {

bool Control::takesFocus() const
{
    return kind == ControlKind::TabControl || kind == ControlKind::PushButton || kind == ControlKind::TextBox;
}

const Control *WindowDesign::find(std::string_view name) const
{
    const auto found = std::find_if(controls.begin(), controls.end(), [&](const Control &c) { return c.name == name; });
    return found == controls.end() ? nullptr : &*found;
}

std::vector<const Control *> WindowDesign::focusChain() const
{
    std::vector<const Control *> chain;
    for (const Control &control : controls) {
        if (control.takesFocus())
            chain.push_back(&control);
    }
    std::stable_sort(chain.begin(), chain.end(),
                     [](const Control *a, const Control *b) { return a->tabIndex < b->tabIndex; });
    return chain;
}

std::vector<const Control *> WindowDesign::controlsOnTab(int tab) const
{
    std::vector<const Control *> onTab;
    for (const Control &control : controls) {
        if (control.tab == tab)
            onTab.push_back(&control);
    }
    return onTab;
}

const Control *WindowDesign::textBoxForSlot(int slot) const
{
    const auto found = std::find_if(controls.begin(), controls.end(), [slot](const Control &c) {
        return c.kind == ControlKind::TextBox && c.settingsSlot == slot;
    });
    return found == controls.end() ? nullptr : &*found;
}

Twips WindowDesign::clientRect(const Control &control) const
{
    Twips rect = control.rect;
    for (const Control *parent = find(control.parent); parent; parent = find(parent->parent)) {
        rect.left += parent->rect.left;
        rect.top += parent->rect.top;
    }
    return rect;
}

}  // namespace design
