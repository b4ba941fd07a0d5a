#pragma once

// What the program does around its QApplication before the main window is
// made; the start-up benchmark's probe does the same, to measure the same.

namespace ui {

// Before the QApplication exists: the process's own state, the program's
// name and version, and the font configuration read while the display is
// being connected.  False when the
// system lets the program start no thread: Qt's connection to an X or
// Wayland display needs one to hear from it, so no window could be used.
bool prepareProcess();

// Once the QApplication exists (and may wait for the fonts): its font, which
// the windows made later (the warnings) take.
void setUpApplication();

}  // namespace ui
